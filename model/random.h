#pragma once
// Uniform random numbers in [0, 1), as values. Every generation step makes a
// source of its own from the seed stored in the record it works on, so
// unchanged settings always give the same draws; every randomising command
// makes one from the clock and passes it to its draws in their fixed order.
// Nothing is shared between them.

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>

namespace halvorn {

// Kind 0: the internal linear congruential generator, the only kind provided
// (the kind a document stores beside its generator seed).
constexpr std::int32_t kInternalGenerator = 0;

// Where draws come from. The generation steps and the randomising rules take
// their draws through this, so tests can script them.
class RandomDraws {
  public:
    virtual ~RandomDraws() = default;
    // The next number, uniform in [0, 1) in steps of 1/32768.
    virtual double next() = 0;
};

// The internal generator: state = state * 214013 + 2531011 (mod 2^32),
// result ((state >> 16) & 0x7FFF) / 32768.
class RandomSource final : public RandomDraws {
  public:
    // The state set to `seed` (taken as unsigned) and one draw discarded, as
    // every generation step starts.
    explicit RandomSource(std::int32_t seed = 1);
    // Seeded from the calendar time in seconds at `now`, with one more draw
    // discarded, as every randomising command starts.
    static RandomSource fromTime(std::time_t now = std::time(nullptr));

    double next() override;

  private:
    std::uint32_t state_;
};

// How a randomising command gets its draws: from the clock as the program
// runs; tests hand their own.
using CommandDraws = std::function<std::unique_ptr<RandomDraws>()>;
std::unique_ptr<RandomDraws> drawsFromTheClock();

}  // namespace halvorn

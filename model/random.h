#pragma once
// The process-wide source of uniform random numbers in [0, 1).
// Every generation step seeds it from a seed stored in the record it works on,
// so unchanged settings always give the same draws. Used from one thread only.

#include <cstdint>

namespace halvorn {

using RandomGenerator = double (*)();

// Kind 0: the internal linear congruential generator, the only kind provided.
constexpr std::int32_t kInternalGenerator = 0;

// Draws the next number from the current generator.
double randomNext();

// Makes `kind` the current generator (0 selects the internal one), stores the
// kind and seeds it with 1.
void randomSelectGenerator(std::int32_t kind);

// Sets the internal state to `seed` (while kind 0 is selected) and discards
// one draw.
void randomSeed(std::int32_t seed);

// Seeds from the calendar time in seconds and discards one more draw.
void randomSeedFromTime();

// The internal generator itself: state = state * 214013 + 2531011 (mod 2^32),
// result ((state >> 16) & 0x7FFF) / 32768.
double randomInternalNext();

// Replaces the current generator without touching the internal state; for
// tests that need to observe or script the draws.
RandomGenerator randomSetCurrentGenerator(RandomGenerator generator);

// Keeps the random source as it was for the life of the scope: a preview
// that runs a generator (which reseeds the source) leaves no trace in the
// draws the user's commands take.
class RandomSourceScope {
  public:
    RandomSourceScope();
    ~RandomSourceScope();
    RandomSourceScope(const RandomSourceScope&) = delete;
    RandomSourceScope& operator=(const RandomSourceScope&) = delete;

  private:
    std::uint32_t state_;
    std::int32_t kind_;
    RandomGenerator generator_;
};

}  // namespace halvorn

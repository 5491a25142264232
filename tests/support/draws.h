#pragma once
// Draws for tests, handed to what takes a RandomDraws: a script, one value
// over and over, or the internal generator with a count of what it gave.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "model/random.h"

namespace halvorn::test {

// The listed draws in turn, then 0.0 once the list is used up.
class ScriptedDraws final : public RandomDraws {
  public:
    explicit ScriptedDraws(std::vector<double> draws) : draws_(std::move(draws)) {}
    double next() override { return taken_ < draws_.size() ? draws_[taken_++] : 0.0; }

  private:
    std::vector<double> draws_;
    std::size_t taken_ = 0;
};

class ConstantDraws final : public RandomDraws {
  public:
    explicit ConstantDraws(double draw) : draw_(draw) {}
    double next() override { return draw_; }

  private:
    double draw_;
};

// The internal generator seeded with `seed`, counting the draws it gives.
class CountedDraws final : public RandomDraws {
  public:
    explicit CountedDraws(std::int32_t seed = 1) : source_(seed) {}
    double next() override {
        ++count_;
        return source_.next();
    }
    int count() const { return count_; }

  private:
    RandomSource source_;
    int count_ = 0;
};

}  // namespace halvorn::test

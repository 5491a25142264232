#pragma once
// Shared pieces of the editing-layer tests.

#include <cstdint>
#include <numeric>
#include <vector>

#include "model/random.h"

namespace halvorn::test {

// Counts the draws taken from the random source while it lives; the draws
// themselves are the internal generator's.
class DrawCounter {
  public:
    DrawCounter() : previous_(randomSetCurrentGenerator(&counted)) { count() = 0; }
    ~DrawCounter() { randomSetCurrentGenerator(previous_); }
    DrawCounter(const DrawCounter&) = delete;
    DrawCounter& operator=(const DrawCounter&) = delete;

    int draws() const { return count(); }

  private:
    static int& count() {
        static int taken = 0;
        return taken;
    }
    static double counted() {
        ++count();
        return randomInternalNext();
    }
    RandomGenerator previous_;
};

// Slider positions (p = 0 meaning probability 1) as whole hundredths.
template <typename Positions>
std::vector<int> hundredthsOf(const Positions& positions) {
    std::vector<int> hundredths;
    for (const int p : positions) hundredths.push_back(100 - p);
    return hundredths;
}

template <typename Positions>
int sumOf(const Positions& positions) {
    const std::vector<int> hundredths = hundredthsOf(positions);
    return std::accumulate(hundredths.begin(), hundredths.end(), 0);
}

}  // namespace halvorn::test

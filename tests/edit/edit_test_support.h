#pragma once
// Shared pieces of the editing-layer tests.

#include <cstdint>
#include <numeric>
#include <vector>

namespace halvorn::test {

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

#pragma once
// A track's stretching probabilities "1x", "2x", "4x", "8x" as their four
// sliders show them: positions p = 0..100, p = 0 meaning probability 1.

#include <array>
#include <cstdint>

namespace halvorn {

inline constexpr std::int32_t kStretchChoices = 4;  // 1x, 2x, 4x, 8x

using StretchPositions = std::array<int, kStretchChoices>;

// Each share truncated to whole hundredths, so the four may sum to a little
// less than 1 but never more; a distribution already in whole hundredths
// that sums to 1 stays as it is. All four at 0 turn "1x" to 1.
void normalizeStretchPositions(StretchPositions& positions);

}  // namespace halvorn

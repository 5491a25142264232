#pragma once
// The fractions the pages keep in sliders of 101 positions p = 0..100, and
// the positions that show them. p = 0 is the top of a vertical slider and the
// left end of a horizontal one.

#include <cstdint>

namespace halvorn {

inline constexpr std::int32_t kMaxSliderPosition = 100;

// nearest(fraction × 100), halves going up, held in the int32 range (0 for
// NaN), as a value read from a file can be anything.
std::int32_t percentOf(double fraction);

// Sliders whose top end means "all" (fraction 1 at p = 0): the position of
// a fraction and the fraction of a position.
int inversePosition(double fraction);
double inverseValue(int position);

}  // namespace halvorn

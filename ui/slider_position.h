#pragma once
// Sliders as the pages count them: 101 positions p = 0..100, p = 0 at the
// top of a vertical slider and at the left end of a horizontal one, and the
// fractions the pages store from them.

#include <cstdint>

class QSlider;
class QWidget;

namespace halvorn {

inline constexpr std::int32_t kMaxSliderPosition = 100;

int sliderPosition(const QSlider* slider);
void setSliderPosition(QSlider* slider, int position);

// A vertical slider of positions 0..100 at p = 100 (its bottom).
QSlider* makeVerticalSlider(QWidget* parent);

// nearest(fraction × 100), halves going up, held in the int32 range (0 for
// NaN), as a value read from a file can be anything.
std::int32_t percentOf(double fraction);

// Sliders whose top end means "all" (fraction 1 at p = 0): the position of
// a fraction and the fraction of a position.
int inversePosition(double fraction);
double inverseValue(int position);

}  // namespace halvorn

#pragma once
// Sliders as the pages count them: 101 positions p = 0..100, p = 0 at the
// top of a vertical slider and at the left end of a horizontal one. The
// fractions the pages store from them are edit/slider_fractions.h.

#include "edit/slider_fractions.h"

class QSlider;
class QWidget;

namespace halvorn {

int sliderPosition(const QSlider* slider);
void setSliderPosition(QSlider* slider, int position);

// A vertical slider of positions 0..100 at p = 100 (its bottom).
QSlider* makeVerticalSlider(QWidget* parent);

}  // namespace halvorn

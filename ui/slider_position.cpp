#include "ui/slider_position.h"

#include <QSlider>
#include <algorithm>
#include <cmath>
#include <limits>

namespace halvorn {

// Qt counts a vertical slider from the bottom; so the groove fills up to the
// handle with the probability the position stands for.
int sliderPosition(const QSlider* slider) {
    const int value = slider->value();
    return slider->orientation() == Qt::Vertical ? kMaxSliderPosition - value : value;
}

void setSliderPosition(QSlider* slider, int position) {
    slider->setValue(slider->orientation() == Qt::Vertical ? kMaxSliderPosition - position
                                                           : position);
}

QSlider* makeVerticalSlider(QWidget* parent) {
    auto* slider = new QSlider(Qt::Vertical, parent);
    slider->setRange(0, kMaxSliderPosition);
    setSliderPosition(slider, kMaxSliderPosition);
    slider->setMinimumHeight(90);
    return slider;
}

std::int32_t percentOf(double fraction) {
    const double x = fraction * 100.0;
    if (std::isnan(x)) return 0;
    const double down = std::floor(x);
    const double rounded = x - down >= 0.5 ? down + 1.0 : down;
    return static_cast<std::int32_t>(
        std::clamp(rounded, static_cast<double>(std::numeric_limits<std::int32_t>::min()),
                   static_cast<double>(std::numeric_limits<std::int32_t>::max())));
}

int inversePosition(double fraction) {
    return kMaxSliderPosition - percentOf(fraction);
}

double inverseValue(int position) {
    return 1.0 - position / 100.0;
}

}  // namespace halvorn

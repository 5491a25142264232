#include "ui/fields/slider_position.h"

#include <QSlider>

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

}  // namespace halvorn

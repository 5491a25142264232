#include "ui/views/values_plot.h"

#include <QPainter>
#include <algorithm>

namespace halvorn {
namespace {

constexpr int kMargin = 6;

}  // namespace

CValuesPlot::CValuesPlot(QWidget* parent) : QWidget(parent) {
    setMinimumSize(160, 120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize CValuesPlot::sizeHint() const {
    return {260, 200};
}

void CValuesPlot::setValues(std::optional<std::vector<std::int32_t>> values) {
    if (values && values->empty()) values.reset();
    values_ = std::move(values);
    update();
}

void CValuesPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    painter.fillRect(rect(), palette().base());
    if (!values_) {
        painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
        painter.drawText(area, Qt::AlignCenter, QStringLiteral("no values"));
        return;
    }
    const auto [low, high] = std::minmax_element(values_->begin(), values_->end());
    // Bars stand on zero, or on the smallest value when every value is negative.
    const double bottom = std::min(0.0, static_cast<double>(*low));
    const double top = std::max(static_cast<double>(*high), bottom + 1.0);
    const double scale = area.height() / (top - bottom);
    const double barWidth = static_cast<double>(area.width()) / values_->size();
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().highlight());
    for (std::size_t i = 0; i < values_->size(); ++i) {
        const double height = ((*values_)[i] - bottom) * scale;
        painter.drawRect(QRectF(area.left() + i * barWidth, area.bottom() + 1 - height,
                                std::max(barWidth, 1.0), height));
    }
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(area, Qt::AlignTop | Qt::AlignRight, QString::number(*high));
}

}  // namespace halvorn

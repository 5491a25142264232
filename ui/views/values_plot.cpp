#include "ui/views/values_plot.h"

#include <QKeyEvent>
#include <QPainter>
#include <algorithm>

#include "engine/picture_descriptions.h"

namespace halvorn {
namespace {

constexpr int kMargin = 6;

}  // namespace

CValuesPlot::CValuesPlot(QWidget* parent) : CDescribedView(parent) {
    setMinimumSize(160, 120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setFocusPolicy(Qt::StrongFocus);
}

QSize CValuesPlot::sizeHint() const {
    return {260, 200};
}

void CValuesPlot::setValues(std::optional<std::vector<std::int32_t>> values) {
    if (values && values->empty()) values.reset();
    values_ = std::move(values);
    keepCursorInRange();
    update();
    announceItemsChanged(this);
    announceFocusedItem(this, cursorItem());
}

int CValuesPlot::itemCount() const {
    return values_ ? static_cast<int>(values_->size()) : 0;
}

QString CValuesPlot::itemText(int index) const {
    if (index < 0 || index >= itemCount()) return {};
    const auto at = static_cast<std::size_t>(index);
    return QString::fromStdString(sequenceValueText(at, (*values_)[at]));
}

QString CValuesPlot::emptyText() const {
    return QStringLiteral("No values: the sequence's fields do not give any");
}

CValuesPlot::Scale CValuesPlot::scale() const {
    Scale scale;
    scale.area = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    if (!values_) return scale;
    const auto [low, high] = std::minmax_element(values_->begin(), values_->end());
    // Bars stand on zero, or on the smallest value when every value is negative.
    scale.bottom = std::min(0.0, static_cast<double>(*low));
    const double top = std::max(static_cast<double>(*high), scale.bottom + 1.0);
    scale.perValue = scale.area.height() / (top - scale.bottom);
    scale.barWidth = static_cast<double>(scale.area.width()) / values_->size();
    return scale;
}

QRectF CValuesPlot::barRect(const Scale& scale, std::size_t index) const {
    const double height = ((*values_)[index] - scale.bottom) * scale.perValue;
    return QRectF(scale.area.left() + index * scale.barWidth, scale.area.bottom() + 1 - height,
                  std::max(scale.barWidth, 1.0), height);
}

// The cursor covers the bar's whole column, so a bar of the smallest value
// still shows where it is.
QRect CValuesPlot::itemRect(int index) const {
    if (index < 0 || index >= itemCount()) return {};
    const Scale plot = scale();
    const QRectF bar = barRect(plot, static_cast<std::size_t>(index));
    return QRectF(bar.left(), plot.area.top(), bar.width(), plot.area.height()).toAlignedRect();
}

void CValuesPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    drawFocusBorder(painter, *this);
    const Scale plot = scale();
    if (!values_) {
        painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
        painter.drawText(plot.area, Qt::AlignCenter, QStringLiteral("no values"));
        return;
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().highlight());
    for (std::size_t i = 0; i < values_->size(); ++i) painter.drawRect(barRect(plot, i));
    painter.setPen(palette().color(QPalette::Text));
    const auto high = std::max_element(values_->begin(), values_->end());
    painter.drawText(plot.area, Qt::AlignTop | Qt::AlignRight, QString::number(*high));
    if (hasFocus()) drawItemCursor(painter, itemRect(cursorItem()), *this);
}

}  // namespace halvorn

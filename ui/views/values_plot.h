#pragma once
// A small plot of a microsequence's values, one bar per value from left to
// right, scaled to the largest, which is written in the top right corner;
// "no values" when there are none. A screen reader reads it as the list of
// its values ("Value 3: 17"); the arrow keys move a cursor from bar to bar,
// drawn round the bar.

#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "ui/views/described_items.h"

namespace halvorn {

class CValuesPlot final : public CDescribedView<QWidget> {
    Q_OBJECT
  public:
    explicit CValuesPlot(QWidget* parent = nullptr);

    void setValues(std::optional<std::vector<std::int32_t>> values);
    const std::optional<std::vector<std::int32_t>>& values() const { return values_; }

    QSize sizeHint() const override;

    int itemCount() const override;
    QString itemText(int index) const override;
    QRect itemRect(int index) const override;
    QString emptyText() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    // The bars' area and scale.
    struct Scale {
        QRect area;
        double bottom = 0.0;    // the value the bars stand on
        double perValue = 0.0;  // pixels per unit of value
        double barWidth = 0.0;
    };
    Scale scale() const;
    QRectF barRect(const Scale& scale, std::size_t index) const;

    std::optional<std::vector<std::int32_t>> values_;
};

}  // namespace halvorn

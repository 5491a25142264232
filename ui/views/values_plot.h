#pragma once
// A small plot of a microsequence's values, one bar per value from left to
// right, scaled to the largest; "no values" when there are none.

#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

namespace halvorn {

class CValuesPlot final : public QWidget {
    Q_OBJECT
  public:
    explicit CValuesPlot(QWidget* parent = nullptr);

    void setValues(std::optional<std::vector<std::int32_t>> values);
    const std::optional<std::vector<std::int32_t>>& values() const { return values_; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::optional<std::vector<std::int32_t>> values_;
};

}  // namespace halvorn

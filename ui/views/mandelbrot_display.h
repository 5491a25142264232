#pragma once
// The bordered control that shows the Mandelbrot editor's image one to one.
// The 0x00RRGGBB image is converted to the screen's colour depth with
// convertPixels and shown through a QImage of the matching format. A screen
// reader reads it as the list of its marks (the view, the zoom rectangle,
// the points, the orbit); the arrow keys move a cursor from mark to mark,
// drawn round the mark over the image (the image itself is left alone).

#include <QFrame>
#include <QImage>
#include <QStringList>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/picture_descriptions.h"
#include "ui/views/described_items.h"

namespace halvorn {

class Prompts;

// The depth the display converts to: the screen's when it is 15, 16, 24 or
// 32 bits, else 32.
int displayDepth(int screenDepth);

// `bytes` (width × height pixels at `bitsPerPixel`) as a QImage sharing them;
// a null image for a depth convertPixels does not produce.
QImage displayImage(std::span<const std::uint8_t> bytes, int width, int height, int bitsPerPixel);

class CMandelbrotDisplay final : public CDescribedView<QFrame> {
    Q_OBJECT
  public:
    explicit CMandelbrotDisplay(Prompts& prompts, QWidget* parent = nullptr);

    // Sizes the control so that its inside is exactly width × height and
    // obtains the buffer for the converted image. False, after telling the
    // user, when the buffer or the display image cannot be had.
    bool prepare(int width, int height);

    // Converts `image` and repaints. Nothing while unprepared.
    void showImage(std::span<const std::uint32_t> image);
    // What the image shows, for a screen reader and the cursor.
    void setMarks(std::vector<DescribedMark> marks);

    int itemCount() const override { return static_cast<int>(marks_.size()); }
    QString itemText(int index) const override;
    QRect itemRect(int index) const override;
    QString emptyText() const override;

    // For tests: what the screen would show.
    const QImage& shownImage() const { return shown_; }
    int depth() const { return depth_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Prompts& prompts_;
    int depth_ = 32;
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> deviceBuffer_;
    QImage shown_;
    bool toldUnableToShow_ = false;
    std::vector<DescribedMark> marks_;
};

}  // namespace halvorn

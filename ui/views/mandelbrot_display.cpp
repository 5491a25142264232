#include "ui/views/mandelbrot_display.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <new>

#include "model/pixel_conversion.h"
#include "ui/session/prompts.h"

namespace halvorn {

int displayDepth(int screenDepth) {
    return isConvertibleDepth(screenDepth) ? screenDepth : 32;
}

QImage displayImage(std::span<const std::uint8_t> bytes, int width, int height, int bitsPerPixel) {
    QImage::Format format = QImage::Format_Invalid;
    switch (bitsPerPixel) {
        case 15:
            format = QImage::Format_RGB555;
            break;
        case 16:
            format = QImage::Format_RGB16;
            break;
        case 24:
            format = QImage::Format_BGR888;  // convertPixels writes B, G, R
            break;
        case 32:
            format = QImage::Format_RGB32;
            break;
        default:
            return {};
    }
    const auto stride =
        static_cast<qsizetype>(width) * static_cast<qsizetype>(bytesPerPixel(bitsPerPixel));
    if (width <= 0 || height <= 0 || bytes.size() < static_cast<std::size_t>(stride * height)) {
        return {};
    }
    return QImage(bytes.data(), width, height, stride, format);
}

CMandelbrotDisplay::CMandelbrotDisplay(Prompts& prompts, QWidget* parent)
    : CDescribedView(parent), prompts_(prompts) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setLineWidth(1);
    setFocusPolicy(Qt::StrongFocus);
}

bool CMandelbrotDisplay::prepare(int width, int height) {
    const int frame = frameWidth();
    setFixedSize(width + 2 * frame, height + 2 * frame);
    width_ = width;
    height_ = height;
    const QScreen* shownOn = screen();
    depth_ = displayDepth(shownOn ? shownOn->depth() : 32);
    shown_ = QImage();
    try {
        deviceBuffer_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                                 bytesPerPixel(depth_),
                             0);
    } catch (const std::bad_alloc&) {
        deviceBuffer_.clear();
        prompts_.message(QStringLiteral("Not enough memory for graphic display."));
        return false;
    }
    shown_ = displayImage(deviceBuffer_, width_, height_, depth_);
    if (shown_.isNull()) {
        prompts_.message(QStringLiteral("Unable to create bitmap"));
        return false;
    }
    return true;
}

void CMandelbrotDisplay::showImage(std::span<const std::uint32_t> image) {
    if (deviceBuffer_.empty()) return;
    if (shown_.isNull()) {
        // Said once: a message on every repaint would lock the user out.
        if (!toldUnableToShow_) prompts_.message(QStringLiteral("Unable to select bitmap"));
        toldUnableToShow_ = true;
        return;
    }
    if (convertPixels(image, depth_, deviceBuffer_)) update();
}

void CMandelbrotDisplay::setMarks(std::vector<DescribedMark> marks) {
    marks_ = std::move(marks);
    keepCursorInRange();
    update();
    announceItemsChanged(this);
    announceFocusedItem(this, cursorItem());
}

QString CMandelbrotDisplay::itemText(int index) const {
    if (index < 0 || index >= itemCount()) return {};
    return QString::fromStdString(marks_[static_cast<std::size_t>(index)].text);
}

QString CMandelbrotDisplay::emptyText() const {
    return QStringLiteral("No picture of the set");
}

// A mark's pixels, clipped to the image, where the image is drawn.
QRect CMandelbrotDisplay::itemRect(int index) const {
    if (index < 0 || index >= itemCount()) return {};
    const PixelRect& area = marks_[static_cast<std::size_t>(index)].area;
    const QRect pixels = QRect(QPoint(area.left, area.top), QPoint(area.right, area.bottom))
                             .intersected(QRect(0, 0, width_, height_));
    return pixels.translated(contentsRect().topLeft());
}

void CMandelbrotDisplay::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    if (!shown_.isNull()) painter.drawImage(contentsRect().topLeft(), shown_);
    drawFocusBorder(painter, *this);
    if (hasFocus()) drawItemCursor(painter, itemRect(cursorItem()), *this);
}

}  // namespace halvorn

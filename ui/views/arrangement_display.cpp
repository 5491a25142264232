#include "ui/views/arrangement_display.h"

#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <new>

#include "model/pixel_conversion.h"
#include "ui/session/prompts.h"
#include "ui/views/mandelbrot_display.h"

namespace halvorn {
namespace {

constexpr int kBorder = 1;

const Song& emptySong() {
    static const Song song = songInit();
    return song;
}

}  // namespace

CArrangementDisplay::CArrangementDisplay(Prompts& prompts, QWidget* parent)
    : QWidget(parent), prompts_(prompts) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize CArrangementDisplay::sizeHint() const {
    return {512 + 2 * kBorder, 320 + 2 * kBorder};
}

QSize CArrangementDisplay::minimumSizeHint() const {
    return {256 + 2 * kBorder, 160 + 2 * kBorder};
}

QRect CArrangementDisplay::pictureRect() const {
    const QRect client = rect().adjusted(kBorder, kBorder, -kBorder, -kBorder);
    return {client.right() + 1 - picture_.width, client.top(), picture_.width, picture_.height};
}

bool CArrangementDisplay::setUp() {
    const QRect client = rect().adjusted(kBorder, kBorder, -kBorder, -kBorder);
    const ArrangementSize size = arrangementFittedSize(client.width(), client.height());
    shown_ = QImage();
    deviceBuffer_.clear();
    auto created = arrangementPictureCreate(size);
    if (!created) {
        picture_ = ArrangementPicture{};
        tellOnce(QStringLiteral("Not enough memory for graphic display."));
        return false;
    }
    picture_ = std::move(*created);
    const QScreen* shownOn = screen();
    depth_ = displayDepth(shownOn ? shownOn->depth() : 32);
    try {
        deviceBuffer_.assign(picture_.pixels.size() * bytesPerPixel(depth_), 0);
    } catch (const std::bad_alloc&) {
        deviceBuffer_.clear();
        tellOnce(QStringLiteral("Not enough memory for graphic display."));
        return false;
    }
    // An empty client area has nothing to show and nothing to complain of.
    if (picture_.pixels.empty()) return true;
    shown_ = displayImage(deviceBuffer_, picture_.width, picture_.height, depth_);
    if (shown_.isNull()) {
        tellOnce(QStringLiteral("Unable to create bitmap."));
        return false;
    }
    lastMessage_.clear();
    return true;
}

// A message each time the control is resized would lock the user out; the
// same one is said again only after the display has worked in between.
void CArrangementDisplay::tellOnce(const QString& message) {
    if (message == lastMessage_) return;
    lastMessage_ = message;
    prompts_.message(message);
}

void CArrangementDisplay::compose() {
    if (picture_.pixels.empty()) return;
    const Song* song = songSource_ ? songSource_() : nullptr;
    const Song& drawn = song ? *song : emptySong();
    composeArrangement(picture_, drawn, firstVisibleMeasure_);
    if (playBeats_)
        drawArrangementPlayLine(picture_, drawn.beatsPerMeasure, firstVisibleMeasure_, *playBeats_);
}

void CArrangementDisplay::present() {
    if (picture_.pixels.empty() || deviceBuffer_.empty()) return;
    if (shown_.isNull()) {
        tellOnce(QStringLiteral("Unable to select bitmap"));
        return;
    }
    static_cast<void>(convertPixels(picture_.pixels, depth_, deviceBuffer_));
}

void CArrangementDisplay::redraw() {
    compose();
    present();
    update();
}

void CArrangementDisplay::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    setUp();
}

void CArrangementDisplay::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    compose();
    present();
    if (shown_.isNull()) return;
    QPainter painter(this);
    const QRect area = pictureRect();
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(area.adjusted(-kBorder, -kBorder, 0, 0));
    painter.drawImage(area.topLeft(), shown_);
    emit painted();
}

}  // namespace halvorn

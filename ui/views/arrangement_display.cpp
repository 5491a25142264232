#include "ui/views/arrangement_display.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QWheelEvent>
#include <algorithm>
#include <new>

#include "engine/picture_descriptions.h"
#include "model/pixel_conversion.h"
#include "ui/session/prompts.h"
#include "ui/views/arrangement_captions.h"
#include "ui/views/described_items.h"
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
    setFocusPolicy(Qt::StrongFocus);
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

const Song* CArrangementDisplay::song() const {
    return songSource_ ? songSource_() : nullptr;
}

void CArrangementDisplay::compose() {
    if (picture_.pixels.empty()) return;
    const Song* shown = song();
    const Song& drawn = shown ? *shown : emptySong();
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
    // What the cells say may have changed (placements, the window, the
    // tracks): a screen reader reads them again and hears the cell under
    // the cursor, but not on every move of the play line within a window.
    if (playBeats_ && firstVisibleMeasure_ == announcedMeasure_) return;
    announcedMeasure_ = firstVisibleMeasure_;
    announceItemsChanged(this);
    moveCursor(cursorRow_, cursorColumn_);
}

void CArrangementDisplay::setPlayPosition(std::optional<double> beats) {
    const auto before = playMeasure();
    playBeats_ = beats;
    if (playMeasure() == before) return;
    QAccessibleEvent event(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
}

std::optional<std::int64_t> CArrangementDisplay::playMeasure() const {
    const Song* shown = song();
    if (!playBeats_ || !shown) return std::nullopt;
    return measureOfBeats(*playBeats_, shown->beatsPerMeasure);
}

int CArrangementDisplay::trackRows() const {
    const Song* shown = song();
    return shown ? std::clamp(shown->blockCount, 0, kArrangementRows) : 0;
}

QString CArrangementDisplay::cellText(int row, int column) const {
    const Song* shown = song();
    if (!shown || row < 0 || row >= trackRows() || column < 0 || column >= kArrangementColumns)
        return {};
    const std::int64_t measure = std::int64_t{firstVisibleMeasure_} + column;
    return QString::fromStdString(
        arrangementCellText(*shown, row, measure, playMeasure() == measure));
}

QString CArrangementDisplay::rowName(int row) const {
    const Song* shown = song();
    return shown && row >= 0 && row < trackRows() ? arrangementRowName(*shown, row) : QString();
}

QString CArrangementDisplay::columnName(int column) const {
    return QStringLiteral("Measure %1").arg(std::int64_t{firstVisibleMeasure_} + column);
}

QRect CArrangementDisplay::cellRect(int row, int column) const {
    const int width = picture_.cellWidth(), height = picture_.cellHeight();
    if (width <= 0 || height <= 0) return {};
    return QRect(pictureRect().topLeft() + QPoint(column * width, row * height),
                 QSize(width, height));
}

QString CArrangementDisplay::statusText() const {
    QString text = QStringLiteral("Measures %1 to %2")
                       .arg(firstVisibleMeasure_)
                       .arg(std::int64_t{firstVisibleMeasure_} + kArrangementColumns - 1);
    if (const auto measure = playMeasure())
        text += QStringLiteral(", playing measure %1").arg(*measure);
    return text;
}

void CArrangementDisplay::moveCursor(int row, int column) {
    cursorRow_ = std::clamp(row, 0, std::max(trackRows() - 1, 0));
    cursorColumn_ = std::clamp(column, 0, kArrangementColumns - 1);
    update();
    if (trackRows() > 0)
        announceFocusedItem(this, cursorRow_ * kArrangementColumns + cursorColumn_);
}

// Left and Right move along the measures, and past the window's edge ask
// the page to scroll it; Up and Down move between tracks.
void CArrangementDisplay::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left:
            if (cursorColumn_ == 0)
                emit scrollRequested(-1);
            else
                moveCursor(cursorRow_, cursorColumn_ - 1);
            break;
        case Qt::Key_Right:
            if (cursorColumn_ == kArrangementColumns - 1)
                emit scrollRequested(1);
            else
                moveCursor(cursorRow_, cursorColumn_ + 1);
            break;
        case Qt::Key_Up:
            moveCursor(cursorRow_ - 1, cursorColumn_);
            break;
        case Qt::Key_Down:
            moveCursor(cursorRow_ + 1, cursorColumn_);
            break;
        case Qt::Key_Home:
            moveCursor(cursorRow_, 0);
            break;
        case Qt::Key_End:
            moveCursor(cursorRow_, kArrangementColumns - 1);
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

// One measure a notch, either way the wheel turns (down or right: later).
void CArrangementDisplay::wheelEvent(QWheelEvent* event) {
    const QPoint angle = event->angleDelta();
    wheelAngle_ += std::abs(angle.x()) > std::abs(angle.y()) ? -angle.x() : -angle.y();
    constexpr int kNotch = 120;
    const int measures = wheelAngle_ / kNotch;
    wheelAngle_ -= measures * kNotch;
    if (measures != 0) emit scrollRequested(measures);
    event->accept();
}

void CArrangementDisplay::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    moveCursor(cursorRow_, cursorColumn_);
}

void CArrangementDisplay::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
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
    if (hasFocus()) {
        drawFocusBorder(painter, *this);
        if (trackRows() > 0) drawItemCursor(painter, cellRect(cursorRow_, cursorColumn_), *this);
    }
    emit painted();
}

}  // namespace halvorn

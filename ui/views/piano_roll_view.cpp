#include "ui/views/piano_roll_view.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <new>

#include "model/pixel_conversion.h"
#include "ui/views/mandelbrot_display.h"

namespace halvorn {
namespace {

// Key 60, middle C, is C4.
QString octaveName(std::int32_t pitch) {
    return QStringLiteral("C%1").arg(pitch / 12 - 1);
}

QFont octaveFont(QFont font) {
    font.setPointSizeF(font.pointSizeF() * 0.8);
    return font;
}

}  // namespace

// The octave names have a strip of their own, so no note ever covers them.
QRect CPianoRollView::notesRect() const {
    const QRect area = contentsRect();
    const int gutter =
        QFontMetrics(octaveFont(font())).horizontalAdvance(QStringLiteral("C10")) + 6;
    return area.adjusted(std::min(gutter, area.width()), 0, 0, 0);
}

CPianoRollView::CPianoRollView(QWidget* parent) : CDescribedView(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setFocusPolicy(Qt::StrongFocus);
}

QSize CPianoRollView::sizeHint() const {
    return {640, 160};
}

QSize CPianoRollView::minimumSizeHint() const {
    return {240, 96};
}

void CPianoRollView::showNotes(std::vector<MidiEvent> events, const PianoRollFrame& frame) {
    events_ = std::move(events);
    frame_ = frame;
    hasNotes_ = true;
    reason_.clear();
    listNotes();
    recompose();
}

void CPianoRollView::showNothing(const QString& reason) {
    events_.clear();
    hasNotes_ = false;
    reason_ = reason;
    listNotes();
    recompose();
}

// The notes do not depend on the control's size: the frame's beats only.
void CPianoRollView::listNotes() {
    notes_ = hasNotes_ ? pianoRollNotesOver(events_, frame_) : std::vector<PianoRollNote>{};
    noteTexts_.clear();
    for (const std::string& text : pianoRollNoteTexts(notes_, frame_, naming_))
        noteTexts_ << QString::fromStdString(text);
    keepCursorInRange();
    announceItemsChanged(this);
    announceFocusedItem(this, cursorItem());
}

QRect CPianoRollView::itemRect(int index) const {
    if (index < 0 || index >= static_cast<int>(notes_.size()) || picture_.pixels.empty()) return {};
    const PianoRollNote& note = notes_[static_cast<std::size_t>(index)];
    if (note.pitch < picture_.lowestPitch || note.pitch > picture_.highestPitch) return {};
    PianoRollFrame drawn = frame_;
    drawn.width = picture_.width;
    drawn.height = picture_.height;
    const int left = PianoRollImage::tickColumn(note.start, drawn);
    const int right = PianoRollImage::tickColumn(std::uint64_t{note.end} + 1, drawn);
    const int top = picture_.pitchTop(note.pitch);
    const int bottom = picture_.pitchBottom(note.pitch);
    return QRect(QPoint(left, top), QPoint(std::max(right, left + 1) - 1, bottom - 1))
        .translated(notesRect().topLeft());
}

void CPianoRollView::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    recompose();
}

void CPianoRollView::recompose() {
    picture_ = PianoRollImage{};
    shown_ = QImage();
    const QRect area = notesRect();
    if (hasNotes_ && !area.isEmpty()) {
        PianoRollFrame frame = frame_;
        frame.width = area.width();
        frame.height = area.height();
        const QScreen* shownOn = screen();
        const int depth = displayDepth(shownOn ? shownOn->depth() : 32);
        try {
            picture_ = composePianoRoll(events_, frame);
            deviceBuffer_.assign(picture_.pixels.size() * bytesPerPixel(depth), 0);
        } catch (const std::bad_alloc&) {
            picture_ = PianoRollImage{};
            deviceBuffer_.clear();
        }
        if (!picture_.pixels.empty() && convertPixels(picture_.pixels, depth, deviceBuffer_)) {
            shown_ = displayImage(deviceBuffer_, picture_.width, picture_.height, depth);
        }
    }
    update();
}

void CPianoRollView::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect();
    if (shown_.isNull()) {
        painter.fillRect(area, palette().base());
        painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
        painter.drawText(area, Qt::AlignCenter, reason_);
        drawFocusBorder(painter, *this);
        return;
    }
    painter.fillRect(area, palette().base());
    painter.drawImage(notesRect().topLeft(), shown_);
    drawOctaveNames(painter);
    drawFocusBorder(painter, *this);
    if (hasFocus()) drawItemCursor(painter, itemRect(cursorItem()), *this);
}

void CPianoRollView::drawOctaveNames(QPainter& painter) const {
    const QRect area = contentsRect();
    painter.setFont(octaveFont(painter.font()));
    painter.setPen(QColor(0x60, 0x68, 0x73));
    const int textHeight = painter.fontMetrics().height();
    for (std::int32_t pitch = picture_.lowestPitch; pitch <= picture_.highestPitch; ++pitch) {
        if (pitch % 12 != 0) continue;
        const int bottom = area.top() + picture_.pitchBottom(pitch);
        if (bottom - textHeight < area.top()) continue;
        painter.drawText(QRect(area.left(), bottom - textHeight,
                               notesRect().left() - area.left() - 3, textHeight),
                         Qt::AlignRight | Qt::AlignBottom, octaveName(pitch));
    }
}

}  // namespace halvorn

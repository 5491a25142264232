#pragma once
// Shows a block's notes as a piano roll (engine/piano_roll.h), composed at
// the control's size and converted to the screen's depth with convertPixels,
// with the octaves named in a strip at its left.

#include <QFrame>
#include <QImage>
#include <cstdint>
#include <vector>

#include "engine/piano_roll.h"

namespace halvorn {

class CPianoRollView final : public QFrame {
    Q_OBJECT
  public:
    explicit CPianoRollView(QWidget* parent = nullptr);

    // The note messages of one track, over the frame's beats (its size is
    // the control's own).
    void showNotes(std::vector<MidiEvent> events, const PianoRollFrame& frame);
    // Nothing to show: the control says `reason`.
    void showNothing(const QString& reason);

    bool hasNotes() const { return hasNotes_; }
    const std::vector<MidiEvent>& events() const { return events_; }
    // For tests: the picture last composed and what the screen would show.
    const PianoRollImage& picture() const { return picture_; }
    const QImage& shownImage() const { return shown_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void recompose();
    QRect notesRect() const;
    void drawOctaveNames(QPainter& painter) const;

    std::vector<MidiEvent> events_;
    PianoRollFrame frame_;
    bool hasNotes_ = false;
    QString reason_;
    PianoRollImage picture_;
    std::vector<std::uint8_t> deviceBuffer_;
    QImage shown_;
};

}  // namespace halvorn

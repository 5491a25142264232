#pragma once
// Shows a block's notes as a piano roll (engine/piano_roll.h), composed at
// the control's size and converted to the screen's depth with convertPixels,
// with the octaves named in a strip at its left. A screen reader reads it as
// the list of its notes ("D5, beat 3¼, eighth, velocity 90"); the arrow keys
// move a cursor from note to note, drawn round the note.

#include <QFrame>
#include <QImage>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "engine/piano_roll.h"
#include "engine/picture_descriptions.h"
#include "ui/views/described_items.h"

namespace halvorn {

class CPianoRollView final : public CDescribedView<QFrame> {
    Q_OBJECT
  public:
    explicit CPianoRollView(QWidget* parent = nullptr);

    // How the next notes shown are named: their key, their written values.
    void setNoteNaming(NoteNaming naming) { naming_ = std::move(naming); }
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

    int itemCount() const override { return static_cast<int>(noteTexts_.size()); }
    QString itemText(int index) const override { return noteTexts_.value(index); }
    QRect itemRect(int index) const override;
    QString emptyText() const override { return reason_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void recompose();
    void listNotes();
    QRect notesRect() const;
    void drawOctaveNames(QPainter& painter) const;

    std::vector<MidiEvent> events_;
    PianoRollFrame frame_;
    NoteNaming naming_;
    std::vector<PianoRollNote> notes_;  // as drawn, in the order they start
    QStringList noteTexts_;
    bool hasNotes_ = false;
    QString reason_;
    PianoRollImage picture_;
    std::vector<std::uint8_t> deviceBuffer_;
    QImage shown_;
};

}  // namespace halvorn

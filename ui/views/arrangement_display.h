#pragma once
// The arrangement display of the Macrosequences page: the picture of
// engine/arrangement_picture.h (16 tracks by 16 measures from
// firstVisibleMeasure, with the play-position line while the song plays),
// composed afresh on every paint and shown at the screen's depth through
// convertPixels.
//
// The picture takes the largest multiples of 16 that fit inside the
// control's border; the strip left over goes on the left and at the bottom,
// so the picture keeps to the control's top right corner. Set up runs again
// whenever the control is resized.
//
// A screen reader reads it as a table (accessible_views.h): one row per
// track of the song, one column per measure shown, the cells as
// engine/picture_descriptions.h words them. The control takes the focus;
// the arrow keys move a cell cursor, drawn over the picture, and past the
// first or last column (or with the mouse wheel) ask for the window to
// scroll.

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "engine/arrangement_picture.h"

namespace halvorn {

class Prompts;

class CArrangementDisplay final : public QWidget {
    Q_OBJECT
  public:
    // The song to draw; null draws the grid alone.
    using SongSource = std::function<const Song*()>;

    explicit CArrangementDisplay(Prompts& prompts, QWidget* parent = nullptr);

    void setSongSource(SongSource source) { songSource_ = std::move(source); }

    // Fits the picture to the client area and obtains its buffers. False,
    // after telling the user once ("Not enough memory for graphic display.",
    // "Unable to create bitmap."), when they cannot be had; the control then
    // stays blank.
    bool setUp();

    // Compose followed by Present.
    void redraw();

    std::int32_t firstVisibleMeasure() const { return firstVisibleMeasure_; }
    void setFirstVisibleMeasure(std::int32_t measure) { firstVisibleMeasure_ = measure; }
    // The play-position line at `beats` from the start of the song; none
    // while nothing plays.
    void setPlayPosition(std::optional<double> beats);
    std::optional<double> playPosition() const { return playBeats_; }

    // The table a screen reader reads: a row per track in the song (at most
    // 16), a column per measure shown.
    int trackRows() const;
    QString cellText(int row, int column) const;
    QString rowName(int row) const;        // "3: Bass"
    QString columnName(int column) const;  // "Measure 17"
    // Where cell (row, column) is drawn, in the control's coordinates.
    QRect cellRect(int row, int column) const;
    // "Measures 1 to 16", and ", playing measure 5" while the song plays.
    QString statusText() const;
    int cursorRow() const { return cursorRow_; }
    int cursorColumn() const { return cursorColumn_; }

    // For tests: the picture last composed, where it sits in the control,
    // and what the screen shows.
    const ArrangementPicture& picture() const { return picture_; }
    QRect pictureRect() const;
    const QImage& shownImage() const { return shown_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    // After every paint, so that what is written beside it can follow.
    void painted();
    // The user asks to see the window `measures` later (earlier when negative).
    void scrollRequested(int measures);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    Prompts& prompts_;
    void compose();
    // Converts the composed picture into the shown image.
    void present();
    void tellOnce(const QString& message);
    const Song* song() const;
    std::optional<std::int64_t> playMeasure() const;
    void moveCursor(int row, int column);

    SongSource songSource_;
    std::int32_t firstVisibleMeasure_ = 1;
    std::optional<double> playBeats_;
    ArrangementPicture picture_;
    int depth_ = 32;
    std::vector<std::uint8_t> deviceBuffer_;
    QImage shown_;
    QString lastMessage_;
    int cursorRow_ = 0;
    int cursorColumn_ = 0;
    int wheelAngle_ = 0;  // eighths of a degree not yet scrolled
    std::int32_t announcedMeasure_ = 0;
};

}  // namespace halvorn

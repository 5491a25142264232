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
    void setPlayPosition(std::optional<double> beats) { playBeats_ = beats; }
    std::optional<double> playPosition() const { return playBeats_; }

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

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    Prompts& prompts_;
    void compose();
    // Converts the composed picture into the shown image.
    void present();
    void tellOnce(const QString& message);

    SongSource songSource_;
    std::int32_t firstVisibleMeasure_ = 1;
    std::optional<double> playBeats_;
    ArrangementPicture picture_;
    int depth_ = 32;
    std::vector<std::uint8_t> deviceBuffer_;
    QImage shown_;
    QString lastMessage_;
};

}  // namespace halvorn

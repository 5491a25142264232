#pragma once
// The arrangement display's picture: 16 rows (tracks 0..15, track 0 at the
// top) by 16 columns (16 consecutive measures from firstVisibleMeasure),
// every placement of a track a framed bar in the track's colour, and the
// play-position line over it. Composed as 0x00RRGGBB words without any
// window system; the display converts them with convertPixels. Also the
// scroll arithmetic of the window of 16 measures.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "model/song.h"

namespace halvorn {

inline constexpr std::int32_t kArrangementColumns = 16;  // measures in view
inline constexpr std::int32_t kArrangementRows = 16;     // track slots

// Every byte of a background word is 0xFF; the top byte means nothing to
// any display format.
inline constexpr std::uint32_t kArrangementBackground = 0xFFFFFFFF;
inline constexpr std::uint32_t kArrangementGrid = 0x808080;
inline constexpr std::uint32_t kArrangementFrameMask = 0x3F3F3F;  // frame = fill AND mask
// The play-position line: black, darker than every track colour, the grid
// and the frames, so it shows over all of them and over the background.
inline constexpr std::uint32_t kArrangementPlayLine = 0x000000;
inline constexpr std::int32_t kArrangementPlayLineWidth = 2;

// The bar fill of track `track`: six pastel colours in turn.
std::uint32_t arrangementTrackColour(std::int32_t track);

struct ArrangementPicture {
    std::int32_t width = 0;  // multiples of 16
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;  // width × height, row-major, top row first

    std::int32_t cellWidth() const { return width / kArrangementColumns; }
    std::int32_t cellHeight() const { return height / kArrangementRows; }
    std::uint32_t at(std::int32_t x, std::int32_t y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// The size the display takes in a client area of clientWidth × clientHeight:
// each side cut down to a multiple of 16 (263 × 165 gives 256 × 160).
// Negative sides count as 0.
struct ArrangementSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool operator==(const ArrangementSize&) const = default;
};
ArrangementSize arrangementFittedSize(std::int32_t clientWidth, std::int32_t clientHeight);

// A background-filled picture of `size` (multiples of 16); nothing when its
// memory cannot be had (the page says "Not enough memory for graphic
// display.").
std::optional<ArrangementPicture> arrangementPictureCreate(ArrangementSize size);

// Redraws the whole picture from the song's placements (recomputed by
// macrosequencePlace, never by this) with measure `firstVisibleMeasure`
// (1-based) in column 0: background, grid lines, then every placement of
// tracks 0..blockCount-1 in order as a bar framed two pixels thick, open
// where the window's edge cuts it. Later bars paint over earlier ones.
void composeArrangement(ArrangementPicture& picture, const Song& song,
                        std::int32_t firstVisibleMeasure);

// The bar the picture shows for track `track` in song measure `measure`
// (1-based): the last of the track's placements that covers that measure,
// as later bars paint over earlier ones. None for an empty cell and for a
// track beyond the rows drawn.
struct ArrangementBar {
    std::int64_t firstMeasure = 0;  // 1-based
    std::int64_t measures = 0;      // the block's length times its stretch
    double stretchFactor = 1.0;
    bool operator==(const ArrangementBar&) const = default;
};
std::optional<ArrangementBar> arrangementBarAt(const Song& song, std::int32_t track,
                                               std::int64_t measure);

// Song position `ticks` at `ppqn` ticks per quarter note, in beats.
double arrangementBeatsOfTicks(std::uint64_t ticks, std::int32_t ppqn);

// Draws the play-position line, kArrangementPlayLineWidth pixels from the
// position's pixel column rightwards, over the full height of a composed
// picture; true when the position lies in the window and the line shows.
bool drawArrangementPlayLine(ArrangementPicture& picture, std::int32_t beatsPerMeasure,
                             std::int32_t firstVisibleMeasure, double positionBeats);

// The position bar's range: 1 .. max(1, totalLength - 15).
struct ArrangementScrollRange {
    std::int32_t minimum = 1;
    std::int32_t maximum = 1;
    bool operator==(const ArrangementScrollRange&) const = default;
};
ArrangementScrollRange arrangementScrollRange(std::int32_t totalLength);

// The left arrow: one measure back, not before measure 1.
std::int32_t arrangementScrollLeft(std::int32_t firstVisibleMeasure);

// The right arrow: one measure on while the song has a measure beyond the
// window, so the last window shows totalLength - 15 .. totalLength.
std::int32_t arrangementScrollRight(std::int32_t firstVisibleMeasure, std::int32_t totalLength);

// The firstVisibleMeasure that shows `positionBeats` during playback: the
// one given while the position's measure lies in its window; otherwise the
// window turns a page so that measure comes first (the last window at the
// song's end, the first one when a loop starts again).
std::int32_t arrangementFirstMeasureShowing(std::int32_t firstVisibleMeasure,
                                            std::int32_t totalLength, std::int32_t beatsPerMeasure,
                                            double positionBeats);

}  // namespace halvorn

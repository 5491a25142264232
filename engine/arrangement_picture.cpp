#include "engine/arrangement_picture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

namespace halvorn {
namespace {

constexpr std::array<std::uint32_t, 6> kTrackColours = {0xFF7F7F, 0x7FFF7F, 0x7F7FFF,
                                                        0xFFFF7F, 0xFF7FFF, 0x7FFFFF};

// Bar ends in columns, far beyond any window yet far from overflowing.
constexpr double kColumnLimit = 1e12;

std::int32_t cutToMultipleOf16(std::int32_t side) {
    return side > 0 ? side - side % 16 : 0;
}

// Writes one pixel; pixels outside the picture are skipped, so the two-pixel
// frames stay safe in cells narrower than four pixels.
void put(ArrangementPicture& picture, std::int64_t x, std::int64_t y, std::uint32_t colour) {
    if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) return;
    picture.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) +
                   static_cast<std::size_t>(x)] = colour;
}

void drawGrid(ArrangementPicture& picture) {
    const std::int32_t cw = picture.cellWidth();
    const std::int32_t ch = picture.cellHeight();
    // No line at the left nor at the right edge; one at the top, none at the bottom.
    for (std::int32_t i = 1; i < kArrangementColumns; ++i)
        for (std::int32_t y = 0; y < picture.height; ++y)
            put(picture, i * cw - 1, y, kArrangementGrid);
    for (std::int32_t i = 0; i < kArrangementRows; ++i)
        for (std::int32_t x = 0; x < picture.width; ++x) put(picture, x, i * ch, kArrangementGrid);
}

// The bar of row `row` over columns a .. b-1, drawn within columns 0..15. A
// side the window cuts (a < 0, b > 16) is left open: the fill runs to the edge.
void drawBar(ArrangementPicture& picture, std::int64_t a, std::int64_t b, std::int32_t row) {
    const std::int64_t s = std::max<std::int64_t>(a, 0);
    const std::int64_t e = std::min<std::int64_t>(b, kArrangementColumns);
    if (s >= e) return;
    const std::int64_t cw = picture.cellWidth();
    const std::int64_t ch = picture.cellHeight();
    const std::int64_t x0 = s * cw, x1 = e * cw, y0 = row * ch, y1 = (row + 1) * ch;
    const std::uint32_t fill = arrangementTrackColour(row);
    const std::uint32_t frame = fill & kArrangementFrameMask;
    for (std::int64_t x = x0; x < x1; ++x)
        for (const std::int64_t y : {y0, y0 + 1, y1 - 2, y1 - 1}) put(picture, x, y, frame);
    for (std::int64_t y = y0; y < y1; ++y)
        for (const std::int64_t x : {x0, x0 + 1, x1 - 2, x1 - 1}) put(picture, x, y, frame);
    const std::int64_t fillLeft = a < 0 ? x0 : x0 + 2;
    const std::int64_t fillRight = b > kArrangementColumns ? x1 - 1 : x1 - 3;
    for (std::int64_t y = y0 + 2; y <= y1 - 3; ++y)
        for (std::int64_t x = fillLeft; x <= fillRight; ++x) put(picture, x, y, fill);
}

// trunc(measures × stretch), held to a range where a corrupt value cannot
// overflow the column arithmetic.
std::int64_t stretchedMeasures(std::int32_t blockMeasures, double stretchFactor) {
    const double measures = static_cast<double>(blockMeasures) * stretchFactor;
    if (!(measures > -kColumnLimit)) return 0;
    return static_cast<std::int64_t>(std::trunc(std::min(measures, kColumnLimit)));
}

// The placements of `track` the picture draws, in order.
std::span<const Placement> drawnPlacements(const Song& song, std::int32_t track) {
    const Macrosequence& macrosequence = song.macrosequences[static_cast<std::size_t>(track)];
    const std::size_t count =
        std::min(static_cast<std::size_t>(std::max(macrosequence.placementCount, 0)),
                 macrosequence.placements.size());
    return std::span(macrosequence.placements).first(count);
}

std::int32_t drawnTracks(const Song& song) {
    return std::clamp(song.blockCount, 0, std::min(kMaxBlocks, kArrangementRows));
}

void drawTrack(ArrangementPicture& picture, const Song& song, std::int32_t track,
               std::int32_t firstVisibleMeasure) {
    const std::int32_t blockMeasures = song.blocks[static_cast<std::size_t>(track)].lengthMeasures;
    for (const Placement& placement : drawnPlacements(song, track)) {
        const std::int64_t a =
            placement.startBeat / song.beatsPerMeasure - std::int64_t{firstVisibleMeasure} + 1;
        drawBar(picture, a, a + stretchedMeasures(blockMeasures, placement.stretchFactor), track);
    }
}

}  // namespace

std::uint32_t arrangementTrackColour(std::int32_t track) {
    const auto index = static_cast<std::size_t>(((track % 6) + 6) % 6);
    return kTrackColours[index];
}

ArrangementSize arrangementFittedSize(std::int32_t clientWidth, std::int32_t clientHeight) {
    return {cutToMultipleOf16(clientWidth), cutToMultipleOf16(clientHeight)};
}

std::optional<ArrangementPicture> arrangementPictureCreate(ArrangementSize size) {
    ArrangementPicture picture;
    picture.width = cutToMultipleOf16(size.width);
    picture.height = cutToMultipleOf16(size.height);
    try {
        picture.pixels.assign(
            static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height),
            kArrangementBackground);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return picture;
}

void composeArrangement(ArrangementPicture& picture, const Song& song,
                        std::int32_t firstVisibleMeasure) {
    std::fill(picture.pixels.begin(), picture.pixels.end(), kArrangementBackground);
    drawGrid(picture);
    if (song.beatsPerMeasure <= 0) return;
    for (std::int32_t track = 0; track < drawnTracks(song); ++track)
        drawTrack(picture, song, track, firstVisibleMeasure);
}

std::optional<ArrangementBar> arrangementBarAt(const Song& song, std::int32_t track,
                                               std::int64_t measure) {
    if (song.beatsPerMeasure <= 0 || track < 0 || track >= drawnTracks(song)) return std::nullopt;
    const std::int32_t blockMeasures = song.blocks[static_cast<std::size_t>(track)].lengthMeasures;
    std::optional<ArrangementBar> shown;
    for (const Placement& placement : drawnPlacements(song, track)) {
        const std::int64_t first = placement.startBeat / song.beatsPerMeasure + 1;
        const std::int64_t measures = stretchedMeasures(blockMeasures, placement.stretchFactor);
        if (measure >= first && measure < first + measures)
            shown = ArrangementBar{first, measures, placement.stretchFactor};
    }
    return shown;
}

double arrangementBeatsOfTicks(std::uint64_t ticks, std::int32_t ppqn) {
    return ppqn > 0 ? static_cast<double>(ticks) / ppqn : 0.0;
}

bool drawArrangementPlayLine(ArrangementPicture& picture, std::int32_t beatsPerMeasure,
                             std::int32_t firstVisibleMeasure, double positionBeats) {
    if (beatsPerMeasure <= 0) return false;
    const double columns =
        positionBeats / beatsPerMeasure - (static_cast<double>(firstVisibleMeasure) - 1.0);
    const double x = std::floor(columns * picture.cellWidth());
    if (!(x >= 0.0 && x < picture.width)) return false;
    const auto left = static_cast<std::int64_t>(x);
    for (std::int64_t column = left; column < left + kArrangementPlayLineWidth; ++column)
        for (std::int32_t y = 0; y < picture.height; ++y)
            put(picture, column, y, kArrangementPlayLine);
    return true;
}

ArrangementScrollRange arrangementScrollRange(std::int32_t totalLength) {
    const std::int64_t last = std::int64_t{totalLength} - (kArrangementColumns - 1);
    return {1, static_cast<std::int32_t>(std::max<std::int64_t>(1, last))};
}

std::int32_t arrangementScrollLeft(std::int32_t firstVisibleMeasure) {
    return firstVisibleMeasure > 1 ? firstVisibleMeasure - 1 : firstVisibleMeasure;
}

std::int32_t arrangementScrollRight(std::int32_t firstVisibleMeasure, std::int32_t totalLength) {
    const bool beyond =
        std::int64_t{totalLength} >= std::int64_t{firstVisibleMeasure} + kArrangementColumns;
    return beyond ? firstVisibleMeasure + 1 : firstVisibleMeasure;
}

std::int32_t arrangementFirstMeasureShowing(std::int32_t firstVisibleMeasure,
                                            std::int32_t totalLength, std::int32_t beatsPerMeasure,
                                            double positionBeats) {
    if (beatsPerMeasure <= 0 || !(positionBeats >= 0.0)) return firstVisibleMeasure;
    const double measure =
        std::floor(std::min(positionBeats / beatsPerMeasure, kColumnLimit)) + 1.0;
    if (measure >= firstVisibleMeasure &&
        measure < static_cast<double>(firstVisibleMeasure) + kArrangementColumns)
        return firstVisibleMeasure;
    const ArrangementScrollRange range = arrangementScrollRange(totalLength);
    return static_cast<std::int32_t>(std::clamp(measure, static_cast<double>(range.minimum),
                                                static_cast<double>(range.maximum)));
}

}  // namespace halvorn

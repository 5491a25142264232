#include "engine/arrangement_picture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/song.h"

namespace halvorn {
namespace {

// A bar as the picture must show it: columns first..last of `row`, each end
// framed or open.
struct ExpectedBar {
    std::int32_t row = 0;
    std::int32_t first = 0;
    std::int32_t last = 0;
    bool openLeft = false;
    bool openRight = false;
};

// What one pixel must be, worked out pixel by pixel from the bars (later
// ones on top), the grid lines and the background.
std::uint32_t expectedPixel(const ArrangementPicture& picture, const std::vector<ExpectedBar>& bars,
                            std::int32_t x, std::int32_t y) {
    const std::int32_t cw = picture.cellWidth(), ch = picture.cellHeight();
    for (auto bar = bars.rbegin(); bar != bars.rend(); ++bar) {
        const std::int32_t x0 = bar->first * cw, x1 = (bar->last + 1) * cw;
        const std::int32_t y0 = bar->row * ch, y1 = y0 + ch;
        if (x < x0 || x >= x1 || y < y0 || y >= y1) continue;
        const std::uint32_t fill = arrangementTrackColour(bar->row);
        const bool frameRow = y < y0 + 2 || y >= y1 - 2;
        const bool frameColumn = (x < x0 + 2 && !bar->openLeft) || (x >= x1 - 2 && !bar->openRight);
        return frameRow || frameColumn ? (fill & 0x3F3F3F) : fill;
    }
    const bool gridColumn = (x + 1) % cw == 0 && x + 1 < picture.width;
    return gridColumn || y % ch == 0 ? 0x808080u : 0xFFFFFFFFu;
}

// The first pixel that differs, or nothing.
std::string firstDifference(const ArrangementPicture& picture,
                            const std::vector<ExpectedBar>& bars) {
    for (std::int32_t y = 0; y < picture.height; ++y) {
        for (std::int32_t x = 0; x < picture.width; ++x) {
            const std::uint32_t want = expectedPixel(picture, bars, x, y);
            if (picture.at(x, y) != want)
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is " +
                       std::to_string(picture.at(x, y)) + ", want " + std::to_string(want);
        }
    }
    return {};
}

class ArrangementPictureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        song.beatsPerMeasure = 4;
        song.lengthMeasures = 20;
        song.blockCount = 3;
        song.blocks[1].lengthMeasures = 2;
        picture = *arrangementPictureCreate(arrangementFittedSize(263, 165));
    }

    void place(std::int32_t track, std::vector<Placement> placements) {
        song.macrosequences[track].placementCount = static_cast<std::int32_t>(placements.size());
        song.macrosequences[track].placements = std::move(placements);
    }

    Song song = songInit();
    ArrangementPicture picture;
};

TEST_F(ArrangementPictureTest, ClientAreaIsCutToMultiplesOfSixteen) {
    EXPECT_EQ(arrangementFittedSize(263, 165), (ArrangementSize{256, 160}));
    EXPECT_EQ(picture.cellWidth(), 16);
    EXPECT_EQ(picture.cellHeight(), 10);
    EXPECT_EQ(picture.pixels.size(), 256u * 160u);
    EXPECT_EQ(arrangementFittedSize(15, -4), (ArrangementSize{0, 0}));
    ArrangementPicture empty = *arrangementPictureCreate({15, 40});
    composeArrangement(empty, song, 1);  // nothing to draw into, nothing touched
    EXPECT_TRUE(empty.pixels.empty());
}

TEST_F(ArrangementPictureTest, WithoutBlocksOnlyTheGridShows) {
    song.blockCount = 0;
    place(0, {{0, 1.0}});
    composeArrangement(picture, song, 1);
    EXPECT_EQ(firstDifference(picture, {}), "");
    EXPECT_EQ(picture.at(15, 5), 0x808080u);     // the line closing column 0
    EXPECT_EQ(picture.at(255, 5), 0xFFFFFFFFu);  // none at the right edge
    EXPECT_EQ(picture.at(5, 159), 0xFFFFFFFFu);  // none at the bottom
}

TEST_F(ArrangementPictureTest, StretchedBlockFramedOnAllSidesThenOpenWhereTheWindowCutsIt) {
    place(1, {{8, 2.0}});  // a 2-measure block at beat 8, stretched twice
    composeArrangement(picture, song, 1);
    EXPECT_EQ(firstDifference(picture, {{.row = 1, .first = 2, .last = 5}}), "");
    EXPECT_EQ(picture.at(2 * 16 + 2, 12), 0x7FFF7Fu);
    EXPECT_EQ(picture.at(2 * 16 + 1, 12), 0x3F3F3Fu);

    composeArrangement(picture, song, 4);  // a = -1, b = 3
    EXPECT_EQ(firstDifference(picture, {{.row = 1, .first = 0, .last = 2, .openLeft = true}}), "");
    EXPECT_EQ(picture.at(0, 12), 0x7FFF7Fu);
}

TEST_F(ArrangementPictureTest, BarsBeyondTheRightEdgeAndRowsWithoutBlocks) {
    place(0, {{56, 1.0}, {64, 1.0}});  // measure 15 (column 14), then column 16
    song.blocks[0].lengthMeasures = 4;
    place(2, {{0, 8.0}});                       // 8 measures from column 0
    place(5, {{0, 1.0}});                       // track 5 has no block
    song.macrosequences[2].placementCount = 0;  // the count rules, not the array
    composeArrangement(picture, song, 1);
    EXPECT_EQ(firstDifference(picture, {{.row = 0, .first = 14, .last = 15, .openRight = true}}),
              "");
    EXPECT_EQ(picture.at(255, 2), 0xFF7F7Fu);

    // A bar that ends exactly at the right edge is closed there.
    place(0, {});
    place(1, {{56, 1.0}});  // 2 measures: columns 14 and 15
    composeArrangement(picture, song, 1);
    EXPECT_EQ(firstDifference(picture, {{.row = 1, .first = 14, .last = 15}}), "");
}

TEST_F(ArrangementPictureTest, PlayLineShowsOverBarsGridAndBackgroundInsideTheWindowOnly) {
    place(1, {{8, 2.0}});
    composeArrangement(picture, song, 1);
    const ArrangementPicture composed = picture;
    // Beat 10 in 4/4 is half way through column 2: pixel column 40.
    ASSERT_TRUE(drawArrangementPlayLine(picture, 4, 1, arrangementBeatsOfTicks(1200, 120)));
    for (std::int32_t y = 0; y < picture.height; ++y) {
        for (std::int32_t x = 0; x < picture.width; ++x) {
            const bool onLine = x == 40 || x == 41;
            ASSERT_EQ(picture.at(x, y), onLine ? 0u : composed.at(x, y)) << x << ", " << y;
        }
    }
    picture = composed;
    EXPECT_FALSE(drawArrangementPlayLine(picture, 4, 4, 10.0));  // measure 3, left of the window
    EXPECT_FALSE(drawArrangementPlayLine(picture, 4, 1, 64.0));  // measure 17, right of it
    EXPECT_EQ(picture.pixels, composed.pixels);
    ASSERT_TRUE(drawArrangementPlayLine(picture, 4, 1, 63.99));  // the last pixel column only
    EXPECT_EQ(picture.at(255, 80), 0u);
    EXPECT_EQ(picture.at(254, 80), composed.at(254, 80));
}

TEST(ArrangementScroll, ArrowsAndPositionBarKeepTheWindowInsideTheSong) {
    EXPECT_EQ(arrangementScrollRange(20), (ArrangementScrollRange{1, 5}));
    EXPECT_EQ(arrangementScrollRange(16), (ArrangementScrollRange{1, 1}));
    EXPECT_EQ(arrangementScrollRange(1), (ArrangementScrollRange{1, 1}));
    std::int32_t first = 1;
    for (int press = 0; press < 10; ++press) first = arrangementScrollRight(first, 20);
    EXPECT_EQ(first, 5);  // showing measures 5..20
    for (int press = 0; press < 10; ++press) first = arrangementScrollLeft(first);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(arrangementScrollRight(1, 16), 1);
    EXPECT_EQ(arrangementScrollRight(1, 17), 2);
}

TEST(ArrangementScroll, WindowTurnsAPageWhenThePlayPositionLeavesIt) {
    // 40 measures of 3/4; the window shows measures 1..16 first.
    EXPECT_EQ(arrangementFirstMeasureShowing(1, 40, 3, 47.9), 1);  // measure 16
    EXPECT_EQ(arrangementFirstMeasureShowing(1, 40, 3, 48.0), 17);
    EXPECT_EQ(arrangementFirstMeasureShowing(17, 40, 3, 96.0), 25);   // measure 33: the last window
    EXPECT_EQ(arrangementFirstMeasureShowing(25, 40, 3, 200.0), 25);  // beyond the end
    EXPECT_EQ(arrangementFirstMeasureShowing(25, 40, 3, 0.5), 1);     // a loop starts again
    EXPECT_EQ(arrangementFirstMeasureShowing(5, 40, 3, 14.0), 5);     // measure 5, a user's scroll
}

}  // namespace
}  // namespace halvorn

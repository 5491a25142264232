#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include "fractal/escape_image.h"
#include "fractal/mandelbrot_editor.h"
#include "tests/support/test_support.h"

namespace halvorn {
namespace {

constexpr ImageSize kSize{96, 72};  // small, so the tests draw quickly

MandelbrotParameters lineFrom(double x1, double y1, double x2, double y2) {
    MandelbrotParameters p = defaultMandelbrotParameters();
    p.point1X = x1, p.point1Y = y1, p.point2X = x2, p.point2Y = y2;
    p.pathKind = MandelbrotParameters::kLine;
    return p;
}

// The set as the plain loop draws it for the editor's view.
std::vector<std::uint32_t> plainImage(const MandelbrotEditor& editor) {
    const PlaneView& v = editor.view();
    std::vector<std::uint32_t> image(static_cast<std::size_t>(editor.width() * editor.height()));
    drawEscapeImageScalar({v.minX, v.minY, v.maxX, v.maxY, editor.width(), editor.height()},
                          editor.palette(), image);
    return image;
}

std::vector<std::uint32_t> withRectangle(std::vector<std::uint32_t> image,
                                         const MandelbrotEditor& editor) {
    invertRectangleOutline({image, editor.width(), editor.height()}, editor.zoomRect());
    return image;
}

TEST(MandelbrotEditor, ImageGeometryIsFourThirdsOfAHeightDivisibleByThree) {
    EXPECT_EQ(mandelbrotImageSize(362).height, 360);
    EXPECT_EQ(mandelbrotImageSize(362).width, 480);
    EXPECT_EQ(mandelbrotImageSize(2).width, 0);
}

TEST(MandelbrotEditor, LoadDrawsTheSetWithTheRectangleAroundTheWholeImage) {
    MandelbrotEditor editor(kSize);
    editor.load(lineFrom(-1.0, 0.0, 0.5, 0.5));
    EXPECT_EQ(editor.zoomRect(), (PixelRect{0, 0, 95, 71}));
    EXPECT_EQ(editor.editMode(), EditMode::Rectangle);
    EXPECT_EQ(editor.pathKind(), MandelbrotParameters::kLine);
    // x = -1: (-1 + 2.333333) * 96 / 4.333333 = 29.5...
    EXPECT_EQ(editor.point1(), (PixelPoint{29, 36}));
    EXPECT_EQ(editor.image(), withRectangle(plainImage(editor), editor));
}

TEST(MandelbrotEditor, OverlaysComeOffAgainWhateverTheModeAndMoves) {
    for (const std::int32_t kind : {MandelbrotParameters::kOrbit, MandelbrotParameters::kLine}) {
        MandelbrotEditor editor(kSize);
        MandelbrotParameters p = lineFrom(-0.5, 0.1, 0.3, -0.6);
        p.pathKind = kind;
        editor.load(p);
        ASSERT_TRUE(editor.shrink());
        ASSERT_TRUE(editor.move(Arrow::Left));
        editor.fixPoints();
        ASSERT_EQ(editor.editMode(), EditMode::Points);
        EXPECT_NE(editor.image(), withRectangle(plainImage(editor), editor));
        // Point 2 follows point 1 even beyond the image's edge.
        for (int i = 0; i < 12; ++i) editor.move(Arrow::Right);
        editor.move(Arrow::Up);
        editor.zoomOut();
        editor.fixPoints();
        if (kind == MandelbrotParameters::kLine) {
            ASSERT_EQ(editor.editMode(), EditMode::Point2);
            editor.move(Arrow::Down);
            RandomSource draws(7);
            editor.randomize(draws);
            editor.fixPoints();
        }
        ASSERT_EQ(editor.editMode(), EditMode::Rectangle) << kind;
        EXPECT_EQ(editor.image(), withRectangle(plainImage(editor), editor)) << kind;
    }
}

TEST(MandelbrotEditor, ZoomInNarrowsToTheRectangleAndCentresBothPoints) {
    MandelbrotEditor editor(kSize);
    editor.load(defaultMandelbrotParameters());
    const PlaneView before = editor.view();
    const double dx = (before.maxX - before.minX) / kSize.width;
    const double dy = (before.maxY - before.minY) / kSize.height;
    editor.zoomIn();
    // The untouched rectangle ends on the last pixel, one short of the edge.
    EXPECT_EQ(editor.view(),
              (PlaneView{before.minX, before.minY, before.minX + 95 * dx, before.minY + 71 * dy}));
    EXPECT_EQ(editor.point1(), (PixelPoint{48, 36}));
    EXPECT_EQ(editor.point2(), (PixelPoint{48, 36}));

    ASSERT_TRUE(editor.shrink());
    ASSERT_TRUE(editor.move(Arrow::Down));
    const PlaneView outer = editor.view();
    editor.zoomIn();
    const double dx2 = (outer.maxX - outer.minX) / kSize.width;
    const double dy2 = (outer.maxY - outer.minY) / kSize.height;
    EXPECT_EQ(editor.view(), (PlaneView{outer.minX + 8 * dx2, outer.minY + 12 * dy2,
                                        outer.minX + 87 * dx2, outer.minY + 71 * dy2}));
    EXPECT_EQ(editor.image(), withRectangle(plainImage(editor), editor));
}

TEST(MandelbrotEditor, ZoomOutDoublesTheViewAndHalvesThePointsSpread) {
    MandelbrotEditor editor(kSize);
    MandelbrotParameters p = lineFrom(0, 0, 0, 0);
    p.viewMinX = -1.0, p.viewMaxX = 1.0, p.viewMinY = -0.75, p.viewMaxY = 0.75;
    p.point1X = -1.0, p.point1Y = -0.75;  // pixel (0, 0)
    p.point2X = 0.5, p.point2Y = 0.0;     // pixel (72, 36)
    editor.load(p);
    editor.zoomOut();
    EXPECT_EQ(editor.view(), (PlaneView{-2.0, -1.5, 2.0, 1.5}));
    EXPECT_EQ(editor.zoomRect(), (PixelRect{24, 18, 72, 54}));
    EXPECT_EQ(editor.point1(), (PixelPoint{18, 9}));  // mid 36 - 18, mid 18 - 9
    EXPECT_EQ(editor.point2(), (PixelPoint{54, 27}));
}

TEST(MandelbrotEditor, GrowAndShrinkStayInsideTheImageAndAboveTheSmallestSize) {
    MandelbrotEditor editor(kSize);
    editor.load(defaultMandelbrotParameters());
    EXPECT_FALSE(editor.grow());  // the whole image already
    ASSERT_TRUE(editor.shrink());
    EXPECT_EQ(editor.zoomRect(), (PixelRect{8, 6, 87, 65}));
    ASSERT_TRUE(editor.grow());
    EXPECT_EQ(editor.zoomRect(), (PixelRect{0, 0, 95, 71}));

    // Shrink while the rectangle is at least 24 wide and 18 high: 95 x 71,
    // 79 x 59, ..., 31 x 23, and then 15 x 11 is refused.
    int shrinks = 0;
    while (editor.shrink()) ++shrinks;
    EXPECT_EQ(shrinks, 5);
    const PixelRect smallest = editor.zoomRect();
    EXPECT_EQ(smallest.right - smallest.left, 15);
    EXPECT_EQ(smallest.bottom - smallest.top, 11);
    // Up against the top, grow is refused although there is room elsewhere.
    while (editor.move(Arrow::Up)) {
    }
    EXPECT_LT(editor.zoomRect().top, 6);
    EXPECT_FALSE(editor.grow());
    EXPECT_FALSE(editor.move(Arrow::Up));
    EXPECT_EQ(editor.image(), withRectangle(plainImage(editor), editor));
}

TEST(MandelbrotEditor, FixPointCyclesThroughTheModesOfEachPathKind) {
    MandelbrotEditor editor(kSize);
    editor.load(defaultMandelbrotParameters());
    editor.fixPoints();
    EXPECT_EQ(editor.editMode(), EditMode::Points);
    editor.fixPoints();
    EXPECT_EQ(editor.editMode(), EditMode::Rectangle);

    editor.setPathKind(MandelbrotParameters::kLine);
    editor.fixPoints();
    editor.move(Arrow::Right);
    EXPECT_EQ(editor.point1(), editor.point2());
    editor.fixPoints();
    EXPECT_EQ(editor.editMode(), EditMode::Point2);
    ASSERT_TRUE(editor.move(Arrow::Down));
    EXPECT_EQ(editor.point2().row, editor.point1().row + 6);
    editor.fixPoints();
    EXPECT_EQ(editor.editMode(), EditMode::Rectangle);
}

TEST(MandelbrotEditor, StoreThenLoadKeepsViewPointsAndKind) {
    MandelbrotEditor editor(kSize);
    editor.load(lineFrom(-1.3, 0.4, 0.2, -0.9));
    editor.shrink();
    editor.move(Arrow::Right);
    editor.zoomIn();
    editor.fixPoints();
    editor.move(Arrow::Left);
    editor.fixPoints();
    editor.move(Arrow::Up);
    const MandelbrotParameters stored = editor.store();
    EXPECT_EQ(stored.pathKind, MandelbrotParameters::kLine);

    MandelbrotEditor reopened(kSize);
    reopened.load(stored);
    EXPECT_EQ(reopened.view(), editor.view());
    EXPECT_EQ(reopened.point1(), editor.point1());
    EXPECT_EQ(reopened.point2(), editor.point2());
    EXPECT_EQ(reopened.store(), stored);
}

// Points from a document can be anywhere and a view empty: the points are
// held near the image (far off they would keep the line overlay drawing for
// ever), one that is not a number at its edge, and every overlay comes off
// again as it went on, so the image stays the set's.
TEST(MandelbrotEditor, HostileStoredViewsNeitherCrashNorHang) {
    MandelbrotEditor editor(kSize);
    MandelbrotParameters p = lineFrom(1e300, -1e300, std::nan(""), 5.0);
    editor.load(p);
    EXPECT_EQ(editor.point1(), (PixelPoint{1 << 15, -(1 << 15)}));
    EXPECT_EQ(editor.point2(), (PixelPoint{0, 126}));  // y = 5: 7 x 72 / 4
    editor.fixPoints();
    editor.fixPoints();
    ASSERT_EQ(editor.editMode(), EditMode::Point2);  // the line across the image is drawn
    editor.fixPoints();
    EXPECT_EQ(editor.image(), withRectangle(plainImage(editor), editor));

    p.viewMaxX = p.viewMinX;  // an empty view
    editor.load(p);
    editor.zoomIn();
    EXPECT_EQ(editor.view().minX, editor.view().maxX);
    EXPECT_EQ(editor.point1(), (PixelPoint{48, 36}));
    editor.zoomOut();
    editor.fixPoints();
    EXPECT_TRUE(editor.move(Arrow::Left));
    EXPECT_EQ(editor.point1(), (PixelPoint{40, 36}));
    const MandelbrotParameters stored = editor.store();
    for (const double value : {stored.viewMinX, stored.viewMaxX, stored.point1X, stored.point1Y,
                               stored.point2X, stored.point2Y})
        EXPECT_TRUE(std::isfinite(value)) << value;
    editor.fixPoints();
    editor.fixPoints();
    ASSERT_EQ(editor.editMode(), EditMode::Rectangle);
    EXPECT_EQ(editor.image(), withRectangle(plainImage(editor), editor));
}

TEST(MandelbrotEditor, RandomizeDrawsKindThenColumnsThenRows) {
    MandelbrotEditor editor(kSize);
    editor.load(defaultMandelbrotParameters());
    test::ScriptedDraws draws({0.75, 0.5, 0.25, 0.1, 0.9});
    editor.randomize(draws);
    EXPECT_EQ(editor.pathKind(), MandelbrotParameters::kLine);
    EXPECT_EQ(editor.point1(), (PixelPoint{48, 7}));
    EXPECT_EQ(editor.point2(), (PixelPoint{24, 64}));
    EXPECT_EQ(editor.editMode(), EditMode::Rectangle);
    EXPECT_EQ(editor.image(), withRectangle(plainImage(editor), editor));
}

std::set<std::pair<int, int>> markedPixels(void (*draw)(const PixelImage&)) {
    std::vector<std::uint32_t> pixels(40 * 30, 0);
    draw({pixels, 40, 30});
    std::set<std::pair<int, int>> marked;
    for (int i = 0; i < 40 * 30; ++i) {
        if (pixels[i] == 0xFFFFFFu) marked.insert({i % 40, i / 40});
    }
    return marked;
}

TEST(MandelbrotOverlay, LineStepsInFixedPointFromTheSmallerEnd) {
    // dc = |0 - 10 + 1| = 9 > dr = |0 - 3 + 1| = 2: nine columns, slope 2/9.
    EXPECT_EQ(markedPixels([](const PixelImage& image) {
                  invertLine(image, {0, 0}, {10, 3});
              }),
              (std::set<std::pair<int, int>>{
                  {0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 1}, {6, 1}, {7, 1}, {8, 1}}));
    // Along rows, going left: dr = |5 - 0 + 1| = 6, dc = |5 - 3 + 1| = 3.
    EXPECT_EQ(markedPixels([](const PixelImage& image) {
                  invertLine(image, {5, 5}, {3, 0});
              }),
              (std::set<std::pair<int, int>>{{3, 0}, {3, 1}, {4, 2}, {4, 3}, {5, 4}, {5, 5}}));
    // One point: a single pixel, and the square around it.
    EXPECT_EQ(markedPixels([](const PixelImage& image) {
                  invertSquare(image, {0, 0});
                  invertLine(image, {7, 7}, {7, 7});
              }),
              (std::set<std::pair<int, int>>{{0, 0}, {1, 0}, {0, 1}, {1, 1}, {7, 7}}));
}

TEST(MandelbrotOverlay, OrbitOfTheOriginFillsASquare) {
    // c = 0 stays at 0: 65 crosses on one pixel (an odd count) and the four
    // diagonal marks leave exactly the 3 x 3 square.
    EXPECT_EQ(markedPixels([](const PixelImage& image) {
                  invertOrbit(image, {-2.0, -1.5, 2.0, 1.5}, {20, 15});
              }),
              markedPixels([](const PixelImage& image) {
                  invertSquare(image, {20, 15});
              }));
}

}  // namespace
}  // namespace halvorn

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fractal/escape_image.h"
#include "fractal/escape_time.h"
#include "model/pixel_conversion.h"

namespace halvorn {
namespace {

struct View {
    const char* name;
    double minX, minY, maxX, maxY;
};

// The editor's default view, a deep zoom on the boundary (long, ragged
// escape times side by side) and a view wholly inside the set.
constexpr View kViews[] = {
    {"default", -2.333333, -2.0, 2.0, 2.0},
    {"deep boundary", -0.7436443, 0.1318255, -0.7436434, 0.1318263},
    {"interior", -0.3, -0.15, 0.1, 0.15},
};

// Widths that no vector width divides, and one that several do.
constexpr std::int32_t kSizes[][2] = {{97, 61}, {33, 7}, {5, 3}, {64, 48}};

std::vector<std::int32_t> scalarCounts(const EscapeGrid& grid) {
    std::vector<std::int32_t> counts(grid.pixelCount(), -1);
    escapeCountsScalar(grid, counts);
    return counts;
}

TEST(EscapeImage, EveryInstructionSetAndThreadCountGivesThePlainLoopsCounts) {
    const auto levels = supportedSimdLevels();
    ASSERT_EQ(levels.front(), SimdLevel::Scalar);
    for (const View& view : kViews) {
        for (const auto& size : kSizes) {
            const EscapeGrid grid{view.minX, view.minY, view.maxX, view.maxY, size[0], size[1]};
            const auto expected = scalarCounts(grid);
            for (const SimdLevel level : levels) {
                for (const std::int32_t threads : {1, 3}) {
                    std::vector<std::int32_t> counts(grid.pixelCount(), -1);
                    escapeCounts(grid, counts, {level, threads, {}});
                    EXPECT_EQ(counts, expected)
                        << view.name << ' ' << size[0] << 'x' << size[1] << ' '
                        << simdLevelName(level) << " threads " << threads;
                }
            }
        }
    }
}

TEST(EscapeImage, ReferenceLoopAccumulatesCoordinatesAndMatchesTheSequenceRule) {
    // 0.1 steps do not add up exactly; the counts must follow the running sums.
    const EscapeGrid grid{-2.0, -1.0, 1.0, 1.0, 30, 20};
    const auto counts = scalarCounts(grid);
    const auto xs = gridColumns(grid), ys = gridRows(grid);
    double y = grid.minY;
    for (std::int32_t r = 0; r < grid.height; ++r) {
        double x = grid.minX;
        for (std::int32_t c = 0; c < grid.width; ++c) {
            ASSERT_EQ(std::memcmp(&xs[c], &x, sizeof x), 0);
            ASSERT_EQ(counts[r * grid.width + c], escapeTime(x, y));
            x += (grid.maxX - grid.minX) / grid.width;
        }
        ASSERT_EQ(std::memcmp(&ys[r], &y, sizeof y), 0);
        y += (grid.maxY - grid.minY) / grid.height;
    }
    // The interior view: every point runs all 512 iterations.
    const auto interior = scalarCounts({-0.3, -0.15, 0.1, 0.15, 40, 30});
    EXPECT_EQ(std::count(interior.begin(), interior.end(), kEscapeIterations), 1200);
}

TEST(EscapeImage, ImageTakesPaletteColoursAndReportsEveryRowInOrder) {
    const auto palette = makeMandelbrotPalette();
    const EscapeGrid grid{-2.333333, -2.0, 2.0, 2.0, 41, 27};
    std::vector<std::uint32_t> expected(grid.pixelCount()), image(grid.pixelCount());
    drawEscapeImageScalar(grid, palette, expected);
    for (const std::int32_t threads : {1, 2, 4}) {
        std::vector<std::int32_t> reported;
        EscapeDrawOptions options{widestSimdLevel(), threads,
                                  [&](std::int32_t rows) { reported.push_back(rows); }};
        drawEscapeImage(grid, palette, image, options);
        EXPECT_EQ(image, expected) << threads;
        ASSERT_FALSE(reported.empty());
        EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
        EXPECT_EQ(reported.back(), grid.height);
    }
    // A buffer too short for the grid is left alone.
    std::vector<std::uint32_t> tooShort(10, 7u);
    drawEscapeImage(grid, palette, tooShort);
    EXPECT_EQ(tooShort, std::vector<std::uint32_t>(10, 7u));
}

TEST(MandelbrotPalette, BandsAndTheCountsThatShareEntries) {
    const auto palette = makeMandelbrotPalette();
    EXPECT_EQ(palette[0], 0x000000u);
    EXPECT_EQ(palette[1], 0x000008u);
    EXPECT_EQ(palette[31], 0x0000F8u);
    EXPECT_EQ(palette[33], 0x000808u);
    EXPECT_EQ(palette[64], 0x00F8F8u);
    EXPECT_EQ(palette[96], 0x00F800u);
    EXPECT_EQ(palette[127], 0xF80000u);
    EXPECT_EQ(palette[129], 0xF80008u);
    EXPECT_EQ(palette[160], 0xF800F8u);
    EXPECT_EQ(palette[194], 0x01010010u);  // the sixth band's top byte
    EXPECT_EQ(palette[224], 0xF8F8F8u);
    EXPECT_EQ(palette[255], 0x000000u);
    EXPECT_EQ(paletteColour(palette, 256), 0u);
    EXPECT_EQ(paletteColour(palette, 512), 0u);
    EXPECT_EQ(paletteColour(palette, 257), 0x000008u);
}

TEST(PixelConversion, EachDepthPacksTheChannelsAtItsPrecision) {
    const std::vector<std::uint32_t> words = {0x00FF8040u, 0x01010010u};
    const auto word16 = [](const std::vector<std::uint8_t>& bytes, std::size_t i) {
        std::uint16_t value;
        std::memcpy(&value, &bytes[2 * i], 2);
        return value;
    };

    std::vector<std::uint8_t> out(8, 0xAA);
    ASSERT_TRUE(convertPixels(words, 15, out));
    EXPECT_EQ(word16(out, 0), (31 << 10) | (16 << 5) | 8);
    EXPECT_EQ(word16(out, 1), (0 << 10) | (0 << 5) | 2);
    ASSERT_TRUE(convertPixels(words, 16, out));
    EXPECT_EQ(word16(out, 0), (31 << 11) | (32 << 5) | 8);

    ASSERT_TRUE(convertPixels(words, 24, out));
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 6),
              (std::vector<std::uint8_t>{0x40, 0x80, 0xFF, 0x10, 0x00, 0x01}));

    ASSERT_TRUE(convertPixels(words, 32, out));
    std::uint32_t first;
    std::memcpy(&first, out.data(), 4);
    EXPECT_EQ(first, 0x00FF8040u);

    EXPECT_EQ(bytesPerPixel(15), 2u);
    EXPECT_EQ(bytesPerPixel(24), 3u);
    // Unknown depths and short buffers write nothing.
    std::vector<std::uint8_t> untouched(8, 0xAA);
    EXPECT_FALSE(convertPixels(words, 8, untouched));
    EXPECT_FALSE(convertPixels(words, 32, std::span(untouched).first(7)));
    EXPECT_EQ(untouched, std::vector<std::uint8_t>(8, 0xAA));
}

}  // namespace
}  // namespace halvorn

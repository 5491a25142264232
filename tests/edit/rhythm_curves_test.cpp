#include "edit/rhythm_curves.h"

#include <gtest/gtest.h>

#include "edit_test_support.h"

namespace halvorn {
namespace {

using test::hundredthsOf;
using test::sumOf;

Song songWithRange(std::int32_t minExponent, std::int32_t maxExponent) {
    Song song = songInit();
    song.minNoteExponent = minExponent;
    song.maxNoteExponent = maxExponent;
    return song;
}

RhythmPositions curveThenNormalize(std::int32_t curve, std::int32_t center, const Song& song) {
    RhythmPositions positions = *rhythmCurvePositions(curve, center, song);
    normalizeRhythmPositions(positions);
    return positions;
}

TEST(RhythmCurvesTest, PresetsAroundACenterGiveTheDocumentedHundredths) {
    const Song song = songWithRange(-4, 1);  // "1/16" .. "2": k = 2..7
    EXPECT_EQ(*rhythmCurvePositions(2, 4, song),
              (RhythmPositions{100, 100, 64, 23, 0, 23, 64, 90, 100, 100}));
    const auto normalized = [&](std::int32_t curve, std::int32_t center) {
        return hundredthsOf(curveThenNormalize(curve, center, song));
    };
    EXPECT_EQ(normalized(2, 4), (std::vector<int>{0, 0, 11, 23, 30, 23, 11, 3, 0, 0}));
    EXPECT_EQ(normalized(1, 4), (std::vector<int>{0, 0, 17, 17, 17, 17, 17, 17, 0, 0}));
    EXPECT_EQ(normalized(5, 4), (std::vector<int>{0, 0, 24, 24, 24, 18, 9, 2, 0, 0}));
    EXPECT_EQ(normalized(8, 4), (std::vector<int>{0, 0, 7, 15, 19, 19, 19, 19, 0, 0}));
    EXPECT_EQ(normalized(0, 4), (std::vector<int>{0, 0, 0, 0, 100, 0, 0, 0, 0, 0}));
    EXPECT_EQ(rhythmCurvePositions(-1, 4, song), std::nullopt);
    EXPECT_EQ(rhythmCurvePositions(kCurveCount, 4, song), std::nullopt);

    EXPECT_EQ(clampCenterIndex(0, song), 2);
    EXPECT_EQ(clampCenterIndex(9, song), 7);
    EXPECT_EQ(clampCenterIndex(5, song), 5);
    for (std::int32_t k = 0; k < kNoteValueCount; ++k)
        EXPECT_EQ(noteValueAllowed(song, k), k >= 2 && k <= 7) << k;
}

// Every preset, every center and every note range: whole hundredths only on
// the allowed values; each rounds by at most half a hundredth, so the sum
// stays within 0.05 of 1 (in the documented cases within 0.02).
TEST(RhythmCurvesTest, EveryPresetNormalizesWithinTheRangeToAboutOne) {
    for (std::int32_t low = kMinNoteExponent; low <= kMaxNoteExponent; ++low) {
        for (std::int32_t high = low; high <= kMaxNoteExponent; ++high) {
            const Song song = songWithRange(low, high);
            for (std::int32_t curve = 0; curve < kCurveCount; ++curve) {
                for (std::int32_t k = 0; k < kNoteValueCount; ++k) {
                    const std::int32_t center = clampCenterIndex(k, song);
                    const RhythmPositions positions = curveThenNormalize(curve, center, song);
                    for (std::int32_t j = 0; j < kNoteValueCount; ++j) {
                        ASSERT_GE(positions[j], 0);
                        ASSERT_LE(positions[j], 100);
                        if (!noteValueAllowed(song, j)) {
                            ASSERT_EQ(positions[j], 100);
                        }
                    }
                    ASSERT_GE(sumOf(positions), 95) << low << high << curve << center;
                    ASSERT_LE(sumOf(positions), 105) << low << high << curve << center;
                }
            }
        }
    }
}

TEST(RhythmCurvesTest, NormalizeRoundsHalvesUpAndLeavesNothingAsItIs) {
    RhythmPositions nothing;
    nothing.fill(100);
    normalizeRhythmPositions(nothing);
    EXPECT_EQ(sumOf(nothing), 0);

    // Three thirds: 33.33 each rounds down.
    RhythmPositions thirds{0, 0, 0, 100, 100, 100, 100, 100, 100, 100};
    normalizeRhythmPositions(thirds);
    EXPECT_EQ(hundredthsOf(thirds), (std::vector<int>{33, 33, 33, 0, 0, 0, 0, 0, 0, 0}));
    // 1/8 each of eight: 12.5 rounds up to 13, summing to 1.04.
    RhythmPositions eighths{50, 50, 50, 50, 50, 50, 50, 50, 100, 100};
    normalizeRhythmPositions(eighths);
    EXPECT_EQ(sumOf(eighths), 104);
}

}  // namespace
}  // namespace halvorn

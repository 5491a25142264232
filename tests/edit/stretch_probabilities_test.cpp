// The Macrosequences page's Normalize of the stretching probabilities.
#include "edit/stretch_probabilities.h"

#include <gtest/gtest.h>

#include "edit/track_fields.h"
#include "edit_test_support.h"

namespace halvorn {
namespace {

using test::hundredthsOf;

StretchPositions stretchPositionsOf(std::vector<int> hundredths) {
    StretchPositions positions{};
    for (int i = 0; i < kStretchChoices; ++i) positions[i] = 100 - hundredths[i];
    return positions;
}

std::vector<int> normalizedStretch(std::vector<int> hundredths) {
    StretchPositions positions = stretchPositionsOf(hundredths);
    normalizeStretchPositions(positions);
    return hundredthsOf(positions);
}

// The exact shares 0.666.. and 0.333.. are truncated, not rounded.
TEST(StretchProbabilitiesTest, NormalizeTruncatesTwoToOneToSixtySixAndThirtyThree) {
    EXPECT_EQ(normalizedStretch({2, 1, 0, 0}), (std::vector<int>{66, 33, 0, 0}));
    EXPECT_EQ(normalizedStretch({100, 100, 100, 0}), (std::vector<int>{33, 33, 33, 0}));
    EXPECT_EQ(normalizedStretch({0, 0, 0, 0}), (std::vector<int>{100, 0, 0, 0}));
    EXPECT_EQ(normalizedStretch({0, 0, 0, 30}), (std::vector<int>{0, 0, 0, 100}));
    for (int a = 0; a <= 100; ++a) {
        // A distribution already normalized stays as it is.
        ASSERT_EQ(normalizedStretch({a, 100 - a, 0, 0}), (std::vector<int>{a, 100 - a, 0, 0}));
    }
}

// Rounding would give 17, 17, 17, 50: a track storing probabilities that sum
// to 1.01.
TEST(StretchProbabilitiesTest, ATrackNeverStoresStretchingProbabilitiesAboveOne) {
    Macrosequence track;
    TrackFields fields;
    fields.stretch = stretchPositionsOf({1, 1, 1, 3});
    storeTrackFields(fields, track);
    EXPECT_EQ(hundredthsOf(fields.stretch), (std::vector<int>{16, 16, 16, 50}));
    const auto& stored = track.stretchProbabilities;
    EXPECT_LE(stored[0] + stored[1] + stored[2] + stored[3], 1.0);
    for (int a = 0; a <= 100; ++a) {
        for (int b = 0; b <= 100; b += 3) {
            const std::vector<int> shares = normalizedStretch({a, b, 100 - b, 7});
            ASSERT_LE(shares[0] + shares[1] + shares[2] + shares[3], 100) << a << ' ' << b;
        }
    }
}

}  // namespace
}  // namespace halvorn

#include <gtest/gtest.h>

#include <vector>

#include "fractal/generators.h"
#include "model/random.h"
#include "model/song.h"
#include "tests/support/draws.h"

namespace halvorn {
namespace {

using Values = std::vector<std::int32_t>;

MandelbrotParameters orbit(double x, double y) {
    MandelbrotParameters p;
    p.point1X = x;
    p.point1Y = y;
    p.pathKind = MandelbrotParameters::kOrbit;
    return p;
}

MandelbrotParameters line(double x1, double y1, double x2, double y2) {
    MandelbrotParameters p = orbit(x1, y1);
    p.point2X = x2;
    p.point2Y = y2;
    p.pathKind = MandelbrotParameters::kLine;
    return p;
}

TEST(MandelbrotOrbit, RestartsWhenThePointEscapes) {
    EXPECT_EQ(*generateMandelbrotPath(orbit(1, 0), 7), (Values{0, 32, 512, 0, 32, 512, 0}));
    EXPECT_EQ(*generateMandelbrotPath(orbit(0, 0), 4), (Values{0, 0, 0, 0}));
    EXPECT_EQ(*generateMandelbrotPath(orbit(-1, 0), 5), (Values{0, 32, 0, 32, 0}));
}

TEST(MandelbrotOrbit, ValuesStayWithinZeroTo512) {
    for (const auto& [x, y] : {std::pair{0.3, 0.5}, {-0.75, 0.1}, {1.9, -1.9}, {-2.0, 0.0}}) {
        const auto values = generateMandelbrotPath(orbit(x, y), 256);
        for (std::int32_t v : *values) {
            ASSERT_GE(v, 0);
            ASSERT_LE(v, 512);
        }
    }
}

TEST(MandelbrotLine, SamplesFromPointOneAndStopsShortOfPointTwo) {
    // -2, -1, 0 stay bounded (-2 sits on |z|^2 = 4 exactly); 1 escapes after 3.
    EXPECT_EQ(*generateMandelbrotPath(line(-2, 0, 2, 0), 4), (Values{512, 512, 512, 3}));
}

TEST(MandelbrotLine, DegenerateLinesAndFarPoints) {
    EXPECT_EQ(*generateMandelbrotPath(line(0.5, 0.5, 0.5, 0.5), 3), (Values{5, 5, 5}));
    EXPECT_EQ(*generateMandelbrotPath(line(1, 0, 5, 5), 1), (Values{3}));
    EXPECT_EQ(*generateMandelbrotPath(line(3, 0, 3, 0), 1), (Values{1}));
}

TEST(MandelbrotPath, RefusesEmptyCounts) {
    EXPECT_FALSE(generateMandelbrotPath(orbit(0, 0), 0));
    EXPECT_FALSE(generateMandelbrotPath(line(0, 0, 1, 1), -3));
}

TEST(MorseThue, DigitSumsOfTheProgression) {
    EXPECT_EQ(*generateMorseThue({10, 95, 1}, 7), (Values{14, 15, 16, 17, 18, 1, 2}));
    EXPECT_EQ(*generateMorseThue({2, 0, 1}, 8), (Values{0, 1, 1, 2, 1, 2, 2, 3}));
}

TEST(MorseThue, WrapsAroundAt32BitsAndGivesZeroForWrappedValues) {
    const Values values = *generateMorseThue({10, 2147483646, 1}, 3);
    EXPECT_EQ(values[0], 2 + 1 + 4 + 7 + 4 + 8 + 3 + 6 + 4 + 6);
    EXPECT_EQ(values[1], 2 + 1 + 4 + 7 + 4 + 8 + 3 + 6 + 4 + 7);
    EXPECT_EQ(values[2], 0);  // wrapped to INT32_MIN
}

TEST(MorseThue, RefusesUnusableParameters) {
    EXPECT_FALSE(generateMorseThue({1, 0, 1}, 4));
    EXPECT_FALSE(generateMorseThue({2, -1, 1}, 4));
    EXPECT_FALSE(generateMorseThue({2, 0, 0}, 4));
    EXPECT_FALSE(generateMorseThue({2, 0, 1}, 0));
}

TEST(Noise, DrawsEachGeneratorEveryPowerOfTwoSamples) {
    test::CountedDraws draws(7);
    const auto counted = generateNoise({7, 4, 100}, 16, draws);
    ASSERT_TRUE(counted);
    EXPECT_EQ(draws.count(), 16 + 8 + 4 + 2 + 1);
    EXPECT_EQ(*counted, *generateNoise({7, 4, 100}, 16));
}

TEST(Noise, FollowsTheDrawOrderOfTheVossSum) {
    const Values values = *generateNoise({1, 1, 100}, 4);
    // Seed 1 draws 18467, 6334, 26500, 19169, 15724, ... (of 32768).
    const auto g = [](int r) { return static_cast<std::int32_t>(r / 32768.0 * 100); };
    const std::int32_t g1 = g(6334);
    EXPECT_EQ(values[0], g(18467) + g1);
    EXPECT_EQ(values[1], g(26500) + g1);
    const std::int32_t g1b = g(15724);
    EXPECT_EQ(values[2], g(19169) + g1b);
}

TEST(Noise, RangeZeroGivesSilenceAndRepeatsForTheSameSeed) {
    EXPECT_EQ(*generateNoise({5, 2, 0}, 4), (Values{0, 0, 0, 0}));
    const Values first = *generateNoise({-12345, 3, 255}, 256);
    EXPECT_EQ(*generateNoise({-12345, 3, 255}, 256), first);
    for (std::int32_t v : first) {
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 4 * 254);
    }
}

TEST(Noise, HugeCorrelationStaysBounded) {
    EXPECT_FALSE(generateNoise({1, -1, 10}, 4));
    // Generators past the 31st never redraw after the first sample.
    const Values values = *generateNoise({1, 40, 2}, 8);
    EXPECT_EQ(values.size(), 8u);
}

Microsequence sequenceOf(std::int32_t type, std::int32_t period, ParameterBytes parameters) {
    Microsequence sequence;
    microsequenceMakeNew(sequence);
    sequence.fractalType = type;
    sequence.period = period;
    sequence.parameters = std::move(parameters);
    return sequence;
}

TEST(MicrosequenceCompute, FillsValuesFromTheStoredParameterBytes) {
    Microsequence morse =
        sequenceOf(kFractalMorseThue, 5, MorseThueParameters{10, 95, 1}.toBytes());
    ASSERT_NE(microsequenceCompute(morse), nullptr);
    EXPECT_EQ(*morse.values, (Values{14, 15, 16, 17, 18}));

    Microsequence mandel = sequenceOf(kFractalMandelbrot, 3, orbit(1, 0).toBytes());
    ASSERT_NE(microsequenceCompute(mandel), nullptr);
    EXPECT_EQ(*mandel.values, (Values{0, 32, 512}));
}

TEST(MicrosequenceCompute, KeepsOldValuesWithoutPeriodOrParameters) {
    Microsequence sequence = sequenceOf(kFractalMorseThue, 0, MorseThueParameters{}.toBytes());
    sequence.values = Values{7, 8};
    EXPECT_EQ(microsequenceCompute(sequence), nullptr);
    EXPECT_EQ(*sequence.values, (Values{7, 8}));

    sequence.period = 4;
    sequence.parameters.reset();
    EXPECT_EQ(microsequenceCompute(sequence), nullptr);
    EXPECT_EQ(*sequence.values, (Values{7, 8}));
}

TEST(MicrosequenceCompute, PlaceholdersAndShortBlocksYieldNoValues) {
    Microsequence placeholder = sequenceOf(kFractalPlaceholder, 4, ParameterBytes{});
    placeholder.values = Values{1};
    EXPECT_EQ(microsequenceCompute(placeholder), nullptr);
    EXPECT_FALSE(placeholder.values);

    // A Mandelbrot type holding a 12-byte block must not reach the generator.
    Microsequence mismatched = sequenceOf(kFractalMandelbrot, 4, MorseThueParameters{}.toBytes());
    EXPECT_EQ(microsequenceCompute(mismatched), nullptr);
    EXPECT_FALSE(mismatched.values);
}

TEST(ParameterBlocks, HaveTheirStoredSizesAndLittleEndianLayout) {
    EXPECT_EQ(parameterBlockSize(kFractalMandelbrot), 72);
    EXPECT_EQ(parameterBlockSize(kFractalMorseThue), 12);
    EXPECT_EQ(parameterBlockSize(kFractalNoise), 12);
    EXPECT_EQ(parameterBlockSize(kFractalPlaceholder), 0);
    EXPECT_EQ(parameterBlockSize(-1), 0);

    const ParameterBytes noise = NoiseParameters{0x01020304, 2, 255}.toBytes();
    EXPECT_EQ(noise, (ParameterBytes{4, 3, 2, 1, 2, 0, 0, 0, 255, 0, 0, 0}));

    MandelbrotParameters m = line(-2, 0.5, 1.25, -1);
    m.viewMinX = -2.5;
    const ParameterBytes bytes = m.toBytes();
    ASSERT_EQ(bytes.size(), 72u);
    // 1.0 as a double is 3F F0 00.. stored low byte first; -2.5 is C0 04 00..
    EXPECT_EQ(bytes[7], 0xC0);
    EXPECT_EQ(bytes[6], 0x04);
    EXPECT_EQ(bytes[64], 1);
    EXPECT_EQ(MandelbrotParameters::fromBytes(bytes), m);
    EXPECT_FALSE(MandelbrotParameters::fromBytes(noise));
}

}  // namespace
}  // namespace halvorn

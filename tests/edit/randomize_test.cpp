// The randomising rules draw exactly as the pages always have: the values
// pinned here are what the pages gave for these seeds before the rules moved
// out of them.
#include <gtest/gtest.h>

#include "edit/random_draws.h"
#include "edit/randomize_block.h"
#include "edit/randomize_global.h"
#include "edit/randomize_micro.h"
#include "edit_test_support.h"
#include "model/random.h"
#include "tests/support/draws.h"

namespace halvorn {
namespace {

using test::ConstantDraws;
using test::CountedDraws;

class RandomizeTest : public ::testing::Test {};

TEST_F(RandomizeTest, GlobalDrawsSevenValuesInTheirOrder) {
    struct Expected {
        std::int32_t seed;
        GlobalFields fields;
    };
    const Expected cases[] = {{12345, {4, 7, 3, 8, 258, 0, 0, 203940307}},
                              {777, {0, 6, 0, 5, 55, 3, 0, 707744073}}};
    for (const auto& expected : cases) {
        CountedDraws draws(expected.seed);
        GlobalFields fields;
        fields.generatorIndex = 0;
        randomizeGlobalFields(fields, draws);
        EXPECT_EQ(draws.count(), 7);
        EXPECT_EQ(fields.signatureIndex, expected.fields.signatureIndex);
        EXPECT_EQ(fields.maxDurationIndex, expected.fields.maxDurationIndex);
        EXPECT_EQ(fields.minDurationIndex, expected.fields.minDurationIndex);
        EXPECT_EQ(fields.scaleKeyIndex, expected.fields.scaleKeyIndex);
        EXPECT_EQ(fields.tempo, expected.fields.tempo);
        EXPECT_EQ(fields.scaleTypeIndex, expected.fields.scaleTypeIndex);
        EXPECT_EQ(fields.generatorIndex, 0);
        EXPECT_EQ(fields.seed, expected.fields.seed);
    }
}

// The Blocks page's draws, then the curve it applies with them: a 5/4 Song
// of five microsequences and notes "1/32" .. "4".
TEST_F(RandomizeTest, BlockDrawsInTheirOrderAndTheCurveFollows) {
    Song song = songInit();
    song.microsequenceCount = 5;
    song.beatsPerMeasure = 5;
    song.minNoteExponent = -5;
    song.maxNoteExponent = 2;
    struct Expected {
        std::int32_t seed;
        std::vector<std::int32_t> numbers;  // key .. threshold, center, curve, seed
        BlockSliders sliders;
        std::vector<bool> accents;
    };
    const Expected cases[] = {
        {12345,
         {7, 3, 5, 0, 18, 8, 0, 54, 242, 10, 4, 6, 827591499},
         {{100, 79, 79, 79, 79, 87, 97, 100, 100, 100}, 66, 29, 42, 33},
         {false, true, false, false, false}},
        {777,
         {1, 0, 5, 4, 12, -11, 2, 51, 130, 14, 8, 10, 228957185},
         {{100, 100, 100, 100, 100, 100, 99, 74, 27, 100}, 35, 85, 60, 69},
         {true, true, false, false, false}},
    };
    for (const auto& expected : cases) {
        CountedDraws draws(expected.seed);
        BlockFields shown;
        shown.description = "Kept";
        shown.channel = 6;
        shown.accents[7] = true;  // beyond the metre
        BlockRandomValues drawn = randomBlockValues(shown, song, draws);
        EXPECT_EQ(draws.count(), 17 + 5);
        const BlockFields& f = drawn.fields;
        EXPECT_EQ((std::vector<std::int32_t>{
                      f.scaleKey, f.scaleType, f.lengthIndex, f.melodySequence, f.melodyRange,
                      f.melodyOffset, f.velocitySequence, f.velocityRange, f.velocityAmp,
                      f.velocityThreshold, drawn.centerIndex, drawn.curveIndex, f.seed}),
                  expected.numbers);
        EXPECT_EQ(f.sliders.dotted, expected.sliders.dotted);
        EXPECT_EQ(f.sliders.triplets, expected.sliders.triplets);
        EXPECT_EQ(f.sliders.legato, expected.sliders.legato);
        EXPECT_EQ(f.sliders.accentLevel, expected.sliders.accentLevel);
        EXPECT_EQ(std::vector<bool>(f.accents.begin(), f.accents.begin() + 5), expected.accents);
        EXPECT_TRUE(f.accents[7]);
        EXPECT_EQ(f.description, "Kept");
        EXPECT_EQ(f.channel, 6);

        RhythmPositions rhythm = *rhythmCurvePositions(
            drawn.curveIndex, clampCenterIndex(drawn.centerIndex, song), song);
        normalizeRhythmPositions(rhythm);
        EXPECT_EQ(rhythm, expected.sliders.rhythm);
    }
}

TEST_F(RandomizeTest, MicrosequenceAndPanelDraws) {
    struct Expected {
        std::int32_t seed;
        MicroFields fields;
        MorseThueParameters morseThue;
        NoiseParameters noise;
    };
    const Expected cases[] = {
        {12345, {1, 202, "Kept"}, {60, 97184, 9169}, {-1783103489, 3, 172}},
        {777, {0, 64, "Kept"}, {12, 30393, 9064}, {444465151, 1, 170}},
    };
    for (const auto& expected : cases) {
        CountedDraws fieldDraws(expected.seed);
        MicroFields fields{3, 9, "Kept"};
        randomizeMicroFields(fields, fieldDraws);
        EXPECT_EQ(fields.fractalType, expected.fields.fractalType);
        EXPECT_EQ(fields.period, expected.fields.period);
        EXPECT_EQ(fields.description, "Kept");
        CountedDraws morseThueDraws(expected.seed);
        EXPECT_EQ(randomMorseThueParameters(morseThueDraws), expected.morseThue);
        CountedDraws noiseDraws(expected.seed);
        EXPECT_EQ(randomNoiseParameters(noiseDraws), expected.noise);
        EXPECT_EQ(fieldDraws.count() + morseThueDraws.count() + noiseDraws.count(), 2 + 3 + 3);
    }
}

TEST_F(RandomizeTest, ExtremeDrawsStayWithinTheFields) {
    for (const double u : {0.0, 0.99999}) {
        ConstantDraws draws(u);
        MicroFields fields;
        randomizeMicroFields(fields, draws);
        EXPECT_EQ(fields.fractalType, u == 0.0 ? 0 : 2);  // never the placeholder
        EXPECT_EQ(fields.period, u == 0.0 ? 1 : 256);
        GlobalFields global;
        randomizeGlobalFields(global, draws);
        EXPECT_LE(global.minDurationIndex, global.maxDurationIndex);
        EXPECT_EQ(global.maxDurationIndex, u == 0.0 ? 0 : 9);
        EXPECT_EQ(global.tempo, u == 0.0 ? 40 : 299);
        // Shown signed: trunc(0.99999 x 4294967295) = 4294924345.
        EXPECT_EQ(randomNoiseParameters(draws).seed, u == 0.0 ? 0 : -42951);
        EXPECT_EQ(drawNoiseSeed(draws), u == 0.0 ? 0 : 268432770);
        EXPECT_EQ(drawSeedValue(draws), u == 0.0 ? 0 : 1234555544);
    }
}

}  // namespace
}  // namespace halvorn

#include <gtest/gtest.h>

#include <vector>

#include "fractal/parameters.h"
#include "model/song.h"

namespace halvorn {
namespace {

std::vector<std::int32_t> pitches(const Scale& scale, std::vector<std::int32_t> degrees) {
    for (auto& d : degrees) d = scaleDegreeToPitch(scale, d);
    return degrees;
}

TEST(Scale, DegreesOfCMajorRoundOctavesTowardMinusInfinity) {
    Scale scale;
    scaleSet(scale, scaleTypeIntervals(kScaleMajor), 0);
    EXPECT_EQ(pitches(scale, {-8, -7, -1, 0, 6, 7}),
              (std::vector<std::int32_t>{-13, -12, -1, 0, 11, 12}));
}

TEST(Scale, PentatonicInDUsesItsOwnTable) {
    Scale scale;
    scaleSet(scale, scaleTypeIntervals(kScalePentatonic), 2);
    EXPECT_EQ(pitches(scale, {0, 1, 2, 3, 4, 5}), (std::vector<std::int32_t>{2, 4, 7, 9, 11, 14}));
}

TEST(Scale, MappingIsMonotonicOverAWideRange) {
    for (std::int32_t type = 0; type < 4; ++type) {
        Scale scale;
        scaleSet(scale, scaleTypeIntervals(type), 5);
        for (std::int32_t d = -200; d < 200; ++d)
            ASSERT_LT(scaleDegreeToPitch(scale, d), scaleDegreeToPitch(scale, d + 1)) << d;
    }
}

TEST(Scale, RefusedTablesLeaveTheScaleEmpty) {
    Scale scale;
    scaleSet(scale, scaleTypeIntervals(kScaleMinor), 7);
    const std::vector<std::int32_t> tooLong(13, 0);
    scaleSet(scale, tooLong, 3);
    EXPECT_EQ(scale.intervalCount, 0);
    EXPECT_EQ(scale.key, 0);
    EXPECT_TRUE(scale.intervals.empty());
    // Without a table every degree maps to the key, never out of bounds.
    scaleSetKey(scale, 4);
    EXPECT_EQ(scaleDegreeToPitch(scale, 17), 4);
}

TEST(Scale, ChangingTypeKeepsKeyAndChangingKeyKeepsType) {
    Scale scale;
    scaleSet(scale, scaleTypeIntervals(kScaleMajor), 9);
    scaleSetIntervals(scale, scaleTypeIntervals(kScaleChromatic));
    EXPECT_EQ(scale.key, 9);
    EXPECT_EQ(scale.intervalCount, 12);
    scaleSetKey(scale, 3);
    EXPECT_EQ(scale.intervalCount, 12);
    EXPECT_EQ(scaleDegreeToPitch(scale, 13), 12 + 1 + 3);
}

TEST(Scale, ExtremeDegreesDoNotOverflow) {
    Scale scale;
    scaleSet(scale, scaleTypeIntervals(kScalePentatonic), 11);
    // INT32_MIN is octave -429496730 (rounded down) at index 2, 5 semitones:
    // -5153960744 semitones, beyond 32 bits; INT32_MAX is octave 429496729
    // at index 2: 5153960764. The result is that exact pitch wrapped into 32
    // bits, which keeps what the renderer reads of it, (pitch + 60) mod 128:
    // 20 and 120.
    const std::int32_t lowest = scaleDegreeToPitch(scale, INT32_MIN);
    const std::int32_t highest = scaleDegreeToPitch(scale, INT32_MAX);
    EXPECT_EQ(static_cast<std::uint32_t>(lowest), 3435973848u);  // -5153960744 + 2 x 2^32
    EXPECT_EQ(static_cast<std::uint32_t>(highest), 858993468u);  // 5153960764 - 2^32
    EXPECT_EQ((static_cast<std::uint32_t>(lowest) + 60) % 128, 20u);
    EXPECT_EQ((static_cast<std::uint32_t>(highest) + 60) % 128, 120u);
    // One degree in from either end is still one scale step away.
    EXPECT_EQ(static_cast<std::uint32_t>(scaleDegreeToPitch(scale, INT32_MIN + 1)) -
                  static_cast<std::uint32_t>(lowest),
              2u);  // index 3: 7 semitones
    EXPECT_EQ(static_cast<std::uint32_t>(highest) -
                  static_cast<std::uint32_t>(scaleDegreeToPitch(scale, INT32_MAX - 1)),
              3u);  // index 1: 2 semitones
}

TEST(Song, FreshSongHasTheDefaults) {
    const Song song = songInit();
    EXPECT_EQ(song.tempo, 100);
    EXPECT_EQ(song.beatsPerMeasure, 4);
    EXPECT_EQ(kNoteValueNames[song.minNoteExponent + 6], "1/16");
    EXPECT_EQ(kNoteValueNames[song.maxNoteExponent + 6], "2");
    EXPECT_EQ(song.microsequenceCount, 0);
    EXPECT_EQ(song.blockCount, 0);
    EXPECT_EQ(song.scale.intervals, (std::vector<std::int32_t>{0, 2, 4, 5, 7, 9, 11}));
    EXPECT_EQ(song.scale.key, 0);
    EXPECT_EQ(song.lengthMeasures, 4);
    EXPECT_EQ(song.generatorSeed, 1);
}

TEST(Song, ResetReleasesRecordsInUseAndRestoresDefaults) {
    Song song = songInit();
    song.tempo = 250;
    song.microsequenceCount = 1;
    microsequenceMakeNew(song.microsequences[0]);
    song.microsequences[0].parameters = MorseThueParameters{}.toBytes();
    song.microsequences[0].values = std::vector<std::int32_t>{1, 2, 3};
    song.blockCount = 1;
    blockMakeNew(song.blocks[0], 0);
    song.blocks[0].legato = 0.25;
    song.macrosequences[0].placements = {{0, 1.0}};
    song.macrosequences[0].placementCount = 1;
    scaleSet(song.scale, scaleTypeIntervals(kScaleMinor), 4);

    songReset(song);
    EXPECT_EQ(song.tempo, 100);
    EXPECT_EQ(song.microsequenceCount, 0);
    EXPECT_FALSE(song.microsequences[0].parameters);
    EXPECT_FALSE(song.microsequences[0].values);
    EXPECT_EQ(song.blocks[0], Block{});
    EXPECT_TRUE(song.macrosequences[0].placements.empty());
    EXPECT_EQ(song.scale.intervalCount, 7);
    EXPECT_EQ(song.scale.key, 0);
}

TEST(Song, NewRecordsAreNamedAndNumbered) {
    Microsequence sequence;
    microsequenceMakeNew(sequence);
    EXPECT_EQ(sequence.description, "New Sequence");
    EXPECT_EQ(sequence.period, 256);
    EXPECT_EQ(sequence.fractalType, kFractalMandelbrot);
    EXPECT_FALSE(sequence.parameters);

    Block block;
    blockMakeNew(block, 5);
    EXPECT_EQ(block.description, "New Block");
    EXPECT_EQ(block.channel, 5);
    EXPECT_EQ(block.legato, 1.0);
    EXPECT_EQ(block.velocityAmp, 1.0);
}

TEST(Macrosequence, AlignmentPacksGridAndDisplacement) {
    EXPECT_EQ(alignMeasures(1), 1);
    EXPECT_EQ(displacementMeasures(1), 0);
    const std::int32_t packed = 3 * 65536 + 2;
    EXPECT_EQ(alignMeasures(packed), 2);
    EXPECT_EQ(displacementMeasures(packed), 3);
    EXPECT_EQ(makeAlignment(2, 3), 196610);
    EXPECT_EQ(displacementMeasures(makeAlignment(4, -2)), -2);
    EXPECT_EQ(alignMeasures(makeAlignment(4, -2)), 4);
}

TEST(Descriptions, AreCutToThirtyBytes) {
    std::string description;
    setDescription(description, "A description that is much longer than thirty bytes");
    EXPECT_EQ(description, "A description that is much lon");
    EXPECT_EQ(description.size(), 30u);
}

}  // namespace
}  // namespace halvorn

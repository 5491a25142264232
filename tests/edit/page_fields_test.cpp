// The records as the pages show them: every value a page shows survives a
// store followed by a load, and the repairs and limits hold.
#include <gtest/gtest.h>

#include "edit/block_fields.h"
#include "edit/global_fields.h"
#include "edit/integer_range.h"
#include "edit/micro_fields.h"
#include "edit/song_records.h"
#include "edit/track_fields.h"

namespace halvorn {
namespace {

TEST(PageFieldsTest, BlockFieldsSurviveStoreAndLoadWithinTheMetre) {
    Song song = songInit();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(appendMicrosequence(song));
    ASSERT_TRUE(appendBlock(song));
    song.beatsPerMeasure = 3;
    song.blocks[0].accents[7] = 1;

    BlockFields fields;
    fields.description = "A lead line of more than thirty bytes";
    fields.lengthIndex = 7;
    fields.scaleKey = 4;
    fields.scaleType = 2;
    fields.channel = 5;
    fields.program = 40;
    fields.melodySequence = 2;
    fields.melodyOffset = -48;
    fields.melodyRange = 127;
    fields.accents = {true, false, true, false, false, true, false, false, false};
    fields.velocitySequence = 1;
    fields.velocityAmp = 29;
    fields.velocityRange = 1;
    fields.velocityThreshold = 7;
    fields.seed = 123456789;
    fields.sliders = {{100, 100, 0, 37, 100, 100, 100, 100, 100, 100}, 30, 60, 25, 80};
    storeBlockFields(fields, song, 0);

    const Block& block = song.blocks[0];
    EXPECT_EQ(block.description, "A lead line of more than thirt");
    EXPECT_EQ(block.lengthMeasures, 8);
    EXPECT_DOUBLE_EQ(block.velocityAmp, 0.29);
    EXPECT_DOUBLE_EQ(block.velocityThreshold, 0.07);
    EXPECT_EQ(block.rhythmDistribution[2], 1.0);
    EXPECT_DOUBLE_EQ(block.rhythmDistribution[3], 0.63);
    EXPECT_DOUBLE_EQ(block.dottedProbability, 0.7);
    EXPECT_DOUBLE_EQ(block.tripletProbability, 0.4);
    EXPECT_DOUBLE_EQ(block.legato, 0.25);
    EXPECT_DOUBLE_EQ(block.accentLevel, 0.8);
    // Stored from the Block defaults: accents beyond the metre go off.
    EXPECT_EQ(block.accents, (std::array<std::int32_t, 9>{1, 0, 1, 0, 0, 0, 0, 0, 0}));

    BlockFields shown;
    shown.accents[5] = true;
    const BlockFields loaded = loadBlockFields(song, 0, shown);
    BlockFields expected = fields;
    expected.description = block.description;
    EXPECT_EQ(loaded.description, expected.description);
    EXPECT_EQ(loaded.sliders.rhythm, fields.sliders.rhythm);
    EXPECT_EQ(loaded.sliders.dotted, 30);
    EXPECT_EQ(loaded.sliders.triplets, 60);
    EXPECT_EQ(loaded.sliders.legato, 25);
    EXPECT_EQ(loaded.sliders.accentLevel, 80);
    EXPECT_EQ(
        (std::vector<std::int32_t>{
            loaded.lengthIndex, loaded.scaleKey, loaded.scaleType, loaded.channel, loaded.program,
            loaded.melodySequence, loaded.melodyOffset, loaded.melodyRange, loaded.velocitySequence,
            loaded.velocityAmp, loaded.velocityRange, loaded.velocityThreshold, loaded.seed}),
        (std::vector<std::int32_t>{7, 4, 2, 5, 40, 2, -48, 127, 1, 29, 1, 7, 123456789}));
    // Load leaves the boxes beyond the metre as they were shown.
    EXPECT_EQ(loaded.accents, (std::array<bool, 9>{true, false, true, false, false, true}));

    // Every percent survives, however the hundredths round in binary.
    for (int percent = 0; percent <= 300; ++percent) {
        fields.velocityAmp = percent;
        fields.velocityThreshold = percent % 101;
        fields.sliders.legato = percent % 101;
        storeBlockFields(fields, song, 0);
        const BlockFields back = loadBlockFields(song, 0, shown);
        ASSERT_EQ(back.velocityAmp, percent);
        ASSERT_EQ(back.velocityThreshold, percent % 101);
        ASSERT_EQ(back.sliders.legato, percent % 101);
    }

    // Sequence indices that name no microsequence become 0, in the Block too.
    song.blocks[0].melodySequence = 7;
    song.blocks[0].velocitySequence = -1;
    const BlockFields repaired = loadBlockFields(song, 0, shown);
    EXPECT_EQ(repaired.melodySequence, 0);
    EXPECT_EQ(repaired.velocitySequence, 0);
    EXPECT_EQ(song.blocks[0].melodySequence, 0);
    EXPECT_EQ(song.blocks[0].velocitySequence, 0);
    fields.melodySequence = 3;
    storeBlockFields(fields, song, 0);
    EXPECT_EQ(song.blocks[0].melodySequence, 0);
}

TEST(PageFieldsTest, TrackFieldsSurviveAtEveryPositionAndPackTheAlignment) {
    Macrosequence track;
    track.placementCount = 1;
    track.placements = {Placement{4, 2.0}};
    TrackFields fields;
    fields.alignIndex = 2;
    fields.displacement = 2;
    fields.seed = -5;
    fields.muted = true;
    fields.stretch = {50, 50, 100, 100};  // 0.5 and 0.5: normalized already
    storeTrackFields(fields, track);
    EXPECT_EQ(track.alignment, 2 * 65536 + 3);
    EXPECT_EQ(track.placementCount, 0);  // placements wait for the next arrangement
    EXPECT_TRUE(track.placements.empty());
    EXPECT_EQ(track.muted, 1);
    EXPECT_EQ(track.seed, -5);

    for (int p = 0; p <= 100; ++p) {
        fields.volume = p;
        fields.probability = 100 - p;
        fields.panning = p;
        fields.stretch = {p, 100 - p, 100, 100};
        storeTrackFields(fields, track);
        const TrackFields back = loadTrackFields(track);
        ASSERT_EQ(back.volume, p);
        ASSERT_EQ(back.probability, 100 - p);
        ASSERT_EQ(back.panning, p);
        ASSERT_EQ(back.stretch, (StretchPositions{p, 100 - p, 100, 100}));
        ASSERT_EQ(back.alignIndex, 2);
        ASSERT_EQ(back.displacement, 2);
    }

    // Normalize runs on store and shows in the fields.
    fields.stretch = {0, 0, 0, 100};
    storeTrackFields(fields, track);
    EXPECT_EQ(fields.stretch, (StretchPositions{67, 67, 67, 100}));
    EXPECT_DOUBLE_EQ(track.stretchProbabilities[0], 0.33);

    // Stored eighths show rounded half up: 0.125 as 13 hundredths, 0.375
    // as 38 (not to the even 12, nor down to 37).
    track.panning = 0.125;
    track.volume = 0.375;
    track.probability = 0.125;
    track.stretchProbabilities = {0.375, 0.125, 0.375, 0.125};
    const TrackFields eighths = loadTrackFields(track);
    EXPECT_EQ(eighths.panning, 13);
    EXPECT_EQ(eighths.volume, 100 - 38);
    EXPECT_EQ(eighths.probability, 100 - 13);
    EXPECT_EQ(eighths.stretch, (StretchPositions{100 - 38, 100 - 13, 100 - 38, 100 - 13}));

    // A grid beyond the list shows as its nearest entry.
    track.alignment = makeAlignment(12, -1);
    EXPECT_EQ(loadTrackFields(track).alignIndex, kAlignChoices - 1);
    EXPECT_EQ(loadTrackFields(track).displacement, -1);
    track.alignment = makeAlignment(0, 0);
    EXPECT_EQ(loadTrackFields(track).alignIndex, 0);
}

TEST(PageFieldsTest, GlobalFieldsKeepTheNoteRangeInOrderAndShowTheNearestEntries) {
    GlobalFields fields{7, 1, 4, 3, 180, 2, 0, 99};
    keepMinimumDuration(fields);  // the first list moved above the second
    EXPECT_EQ(fields.minDurationIndex, 1);
    fields.minDurationIndex = 4;
    keepMaximumDuration(fields);  // the second moved below the first
    EXPECT_EQ(fields.maxDurationIndex, 4);
    fields.maxDurationIndex = 1;
    orderNoteRange(fields);
    EXPECT_EQ(fields.minDurationIndex, 1);
    EXPECT_EQ(fields.maxDurationIndex, 4);

    Song song = songInit();
    storeGlobalFields(fields, song);
    EXPECT_EQ(song.beatsPerMeasure, 9);
    EXPECT_EQ(song.minNoteExponent, -5);
    EXPECT_EQ(song.maxNoteExponent, -2);
    EXPECT_EQ(song.tempo, 180);
    EXPECT_EQ(song.generatorKind, 0);
    EXPECT_EQ(song.generatorSeed, 99);
    const GlobalFields back = loadGlobalFields(song, 3, 2, 1);
    EXPECT_EQ(back.signatureIndex, 7);
    EXPECT_EQ(back.minDurationIndex, 1);
    EXPECT_EQ(back.maxDurationIndex, 4);
    EXPECT_EQ(back.scaleKeyIndex, 3);
    EXPECT_EQ(back.scaleTypeIndex, 2);
    EXPECT_EQ(back.seed, 99);

    song.beatsPerMeasure = 40;
    song.minNoteExponent = -20;
    song.maxNoteExponent = 20;
    song.generatorKind = 5;
    const GlobalFields nearest = loadGlobalFields(song, 15, -1, 1);
    EXPECT_EQ(nearest.signatureIndex, kSignatureCount - 1);
    EXPECT_EQ(nearest.minDurationIndex, 0);
    EXPECT_EQ(nearest.maxDurationIndex, kNoteValueCount - 1);
    EXPECT_EQ(nearest.generatorIndex, 0);
    EXPECT_EQ(nearest.scaleKeyIndex, 11);
    EXPECT_EQ(nearest.scaleTypeIndex, 0);
}

TEST(PageFieldsTest, SavingAMicrosequenceReplacesItsBlockAndDropsItsValues) {
    Microsequence record;
    record.description = "Old";
    record.fractalType = 1;
    record.period = 8;
    record.parameters = ParameterBytes(12, 1);
    record.values = std::vector<std::int32_t>{1, 2, 3};
    const MicroFields loaded = loadMicroFields(record);
    EXPECT_EQ(loaded.fractalType, 1);
    EXPECT_EQ(loaded.period, 8);
    EXPECT_EQ(loaded.description, "Old");

    storeMicroFields({3, 256, std::string(40, 'x')}, std::nullopt, record);
    EXPECT_EQ(record.fractalType, 3);
    EXPECT_EQ(record.period, 256);
    EXPECT_EQ(record.description, std::string(30, 'x'));
    EXPECT_FALSE(record.parameters);
    EXPECT_FALSE(record.values);
    storeMicroFields({2, 16, "Noise"}, ParameterBytes(12, 7), record);
    EXPECT_EQ(record.parameters, ParameterBytes(12, 7));
}

TEST(PageFieldsTest, IntegerFieldsOutsideTheirBoundsNameTheBounds) {
    EXPECT_EQ(integerRangeMessage(49, -kMaxMelodyOffset, kMaxMelodyOffset),
              "Introduzca un n\u00famero entero entre -48 y 48.");
    EXPECT_EQ(integerRangeMessage(0, 1, kMaxTotalLength),
              "Introduzca un n\u00famero entero entre 1 y 999.");
    EXPECT_EQ(integerRangeMessage(-48, -48, 48), std::nullopt);
    EXPECT_EQ(integerRangeMessage(48, -48, 48), std::nullopt);
    EXPECT_EQ(kNotAnIntegerText, "Introduzca un n\u00famero entero.");
}

}  // namespace
}  // namespace halvorn

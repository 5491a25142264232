#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include "engine/block_render.h"
#include "engine/note.h"
#include "engine/note_events.h"
#include "midi/midi_settings.h"
#include "model/random.h"
#include "model/song.h"
#include "tests/support/test_support.h"

namespace halvorn {
namespace {

using namespace halvorn::test;

// Gives one sequence of values to microsequence `index` of `song`.
void setSequence(Song& song, std::int32_t index, std::vector<std::int32_t> values) {
    song.microsequenceCount = std::max(song.microsequenceCount, index + 1);
    Microsequence& sequence = song.microsequences[static_cast<std::size_t>(index)];
    sequence.period = static_cast<std::int32_t>(values.size());
    sequence.values = std::move(values);
}

std::vector<Note> notesAt(std::vector<double> starts, double velocity) {
    std::vector<Note> notes;
    for (double start : starts) notes.push_back({.velocity = velocity, .start = start});
    return notes;
}

// ---- beats and ticks ----

TEST(EngineNote, BeatsToTicksTruncatesTowardZeroAtTheGivenPpqn) {
    EXPECT_EQ(beatsToTicks(1.0, 120), 120);
    EXPECT_EQ(beatsToTicks(1.5 - 1e-9, 120), 179);
    EXPECT_EQ(beatsToTicks(-0.001, 120), 0);
    EXPECT_EQ(beatsToTicks(-0.01, 120), -1);
    EXPECT_EQ(beatsToTicks(0.25, 96), 24);
    EXPECT_EQ(beatsToTicks(0.25, 120), 30);
}

TEST(EngineNote, BeatsToTicksNeverOverflows) {
    EXPECT_EQ(beatsToTicks(1e300, 120), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(beatsToTicks(-1e300, 120), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(beatsToTicks(std::numeric_limits<double>::quiet_NaN(), 120), 0);
}

TEST(EngineNote, WholeBeatToleranceIsOneHundredThousandth) {
    EXPECT_TRUE(isWholeBeat(3.0));
    EXPECT_TRUE(isWholeBeat(1.000009));
    EXPECT_FALSE(isWholeBeat(1.00001));
    EXPECT_FALSE(isWholeBeat(1.9999999999999998));
}

// ---- rhythm ----

TEST(EngineRhythm, QuarterNotesFallOnEachBeatAndLegatoShortensOnlyTheirDurations) {
    for (const double legato : {1.0, 0.5}) {
        Song song = quarterNoteSong();
        song.blocks[0].legato = legato;
        const NoteList notes = renderBlockNotes(song, 0);
        ASSERT_EQ(notes.size(), 4u) << "legato " << legato;
        for (std::size_t k = 0; k < 4; ++k) {
            EXPECT_EQ(notes[k].start, static_cast<double>(k));
            EXPECT_EQ(notes[k].duration, legato);
        }
    }
}

TEST(EngineRhythm, DottedNotesAndTheClipAtTheBlockEnd) {
    Song song = quarterNoteSong();
    song.blocks[0].dottedProbability = 1.0;
    const NoteList notes = renderBlockNotes(song, 0);
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0].start, 0.0);
    EXPECT_EQ(notes[1].start, 1.5);
    EXPECT_EQ(notes[2].start, 3.0);
    EXPECT_EQ(notes[0].duration, 1.5);
    EXPECT_EQ(notes[2].duration, 1.0);
}

TEST(EngineRhythm, TripletGroupsCloseOnlyOnPositionsWithinTheTolerance) {
    Song song = quarterNoteSong();
    song.blocks[0].tripletProbability = 1.0;
    CountedDraws draws(song.blocks[0].seed);
    const NoteList notes = renderBlockRhythm(song, 0, draws).notes;
    ASSERT_EQ(notes.size(), 12u);
    EXPECT_EQ(notes, renderBlockNotes(song, 0));
    EXPECT_EQ(notes[3].start, 1.0);  // the first group closed at 1.0
    // The second group's running sum misses 2.0 and runs on to 3.0.
    EXPECT_EQ(notes[6].start, 1.9999999999999998);
    EXPECT_EQ(notes[6].duration, 1.0 / 3);
    EXPECT_EQ(notes[9].start, 3.0);
    EXPECT_EQ(notes[11].start + notes[11].duration, 4.0);
    // One draw per note, one per group opened (0, 1.0, 3.0).
    EXPECT_EQ(draws.count(), 12 + 3);
}

TEST(EngineRhythm, DottedDrawIsTakenForEveryNoteEvenInsideATripletGroup) {
    Song song = quarterNoteSong();
    song.blocks[0].tripletProbability = 1.0;
    song.blocks[0].dottedProbability = 0.000001;
    CountedDraws draws(song.blocks[0].seed);
    const NoteList notes = renderBlockRhythm(song, 0, draws).notes;
    ASSERT_EQ(notes.size(), 12u);
    EXPECT_EQ(draws.count(), 2 * 12 + 3);
}

TEST(EngineRhythm, FallThroughReusesThePreviousValueNotTheShortest) {
    // Range "1/8".."1/4"; 0.6 on "1/4". Seed 1 draws 18467, 6334, 26500
    // (/32768): the third falls through and keeps "1/4".
    Song song = quarterNoteSong();
    song.minNoteExponent = -3;
    song.maxNoteExponent = -2;
    song.blocks[0].rhythmDistribution[kQuarterIndex] = 0.6;
    song.blocks[0].rhythmDistribution[5] = 0.4;  // "1/2", outside the range
    const NoteList notes = renderBlockNotes(song, 0);
    ASSERT_EQ(notes.size(), 4u);
    for (const Note& note : notes) EXPECT_EQ(note.duration, 1.0);
}

TEST(EngineRhythm, SeedOneExampleWithTheRangeOnQuarterNotesOnly) {
    Song song = quarterNoteSong();
    song.minNoteExponent = -2;
    song.maxNoteExponent = -2;
    song.blocks[0].rhythmDistribution[kQuarterIndex] = 0.6;
    song.blocks[0].rhythmDistribution[kEighthIndex] = 0.4;
    const NoteList notes = renderBlockNotes(song, 0);
    ASSERT_EQ(notes.size(), 4u);
    for (const Note& note : notes) EXPECT_EQ(note.duration, 1.0);
}

TEST(EngineRhythm, AllZeroDistributionStartsWithTheShortestValueOfTheRange) {
    Song song = quarterNoteSong();
    song.blocks[0].rhythmDistribution = {};
    song.minNoteExponent = -3;  // "1/8"
    const NoteList notes = renderBlockNotes(song, 0);
    ASSERT_EQ(notes.size(), 8u);
    for (const Note& note : notes) EXPECT_EQ(note.duration, 0.5);
}

TEST(EngineRhythm, CorruptNoteRangeStaysInsideTheTableAndTerminates) {
    Song song = quarterNoteSong();
    song.minNoteExponent = -1000;
    song.maxNoteExponent = 1000;
    song.blocks[0].rhythmDistribution = {};
    const NoteList notes = renderBlockNotes(song, 0);
    ASSERT_EQ(notes.size(), 64u);  // "1/64" is the shortest value there is
    EXPECT_EQ(notes[0].duration, 1.0 / 16);
}

TEST(EngineRhythm, ValueChosenInsideATripletGroupIsRememberedForFallThrough) {
    Song song = quarterNoteSong();
    song.minNoteExponent = -3;
    song.maxNoteExponent = -2;
    song.blocks[0].rhythmDistribution[kEighthIndex] = 0.4;
    song.blocks[0].rhythmDistribution[kQuarterIndex] = 0.4;
    song.blocks[0].tripletProbability = 0.5;
    ScriptedDraws draws({
        0.7, 0.1,  // "1/4", opens a group of 1/3 beat
        0.1,       // "1/8" chosen inside the group
        0.1,       // "1/8" again; the group closes at 1.0
        0.99,      // falls through: reuses "1/8"
        0.9,       // no triplet
    });
    const NoteList notes = renderBlockRhythm(song, 0, draws).notes;
    ASSERT_GE(notes.size(), 4u);
    EXPECT_EQ(notes[2].start + notes[2].duration, 1.0);
    EXPECT_EQ(notes[3].start, 1.0);
    EXPECT_EQ(notes[3].duration, 0.5);
}

TEST(EngineRhythm, DrawsOnAShareBoundaryPickTheNextValueNeverAZeroShare) {
    Song song = quarterNoteSong();  // range "1/16" .. "2"; "1/16" has 0%
    song.blocks[0].rhythmDistribution[kEighthIndex] = 0.5;
    song.blocks[0].rhythmDistribution[kQuarterIndex] = 0.5;
    ScriptedDraws draws({
        0.0,  // below every share: the first value with a share, "1/8"
        0.5,  // exactly the end of "1/8"'s share: "1/4"
        0.0,
        0.0,
        0.0,
    });
    const NoteList notes = renderBlockRhythm(song, 0, draws).notes;
    ASSERT_GE(notes.size(), 2u);
    EXPECT_EQ(notes[0].duration, 0.5);
    EXPECT_EQ(notes[1].start, 0.5);
    EXPECT_EQ(notes[1].duration, 1.0);
}

TEST(EngineRhythm, SameSeedGivesTheSameNotes) {
    Song song = quarterNoteSong();
    song.blocks[0].lengthMeasures = 8;
    song.blocks[0].rhythmDistribution = {0.1, 0.1, 0.2, 0.2, 0.2, 0.2};
    song.minNoteExponent = -6;
    song.blocks[0].dottedProbability = 0.3;
    song.blocks[0].tripletProbability = 0.3;
    song.blocks[0].seed = 12345;
    const NoteList first = renderBlockNotes(song, 0);
    EXPECT_EQ(renderBlockNotes(song, 0), first);
    song.blocks[0].seed = 12346;
    EXPECT_NE(renderBlockNotes(song, 0), first);
}

TEST(EngineRhythm, LongBlocksOfTinyTripletsRenderWhole) {
    // 8 measures of 9/4 in "1/64" triplets: 3456 notes, beyond any small buffer.
    Song song = quarterNoteSong();
    song.beatsPerMeasure = 9;
    song.minNoteExponent = -6;
    song.blocks[0].lengthMeasures = 8;
    song.blocks[0].rhythmDistribution = {1.0};
    song.blocks[0].tripletProbability = 1.0;
    const NoteList notes = renderBlockNotes(song, 0);
    EXPECT_GE(notes.size(), 3400u);
    EXPECT_NEAR(notes.back().start + notes.back().duration, 72.0, 1e-9);
}

TEST(EngineRhythm, BlockNotInUseGivesNoNotes) {
    const Song song = quarterNoteSong();
    EXPECT_TRUE(renderBlockNotes(song, 1).empty());
    EXPECT_TRUE(renderBlockNotes(song, -1).empty());
}

// ---- melody ----

TEST(EngineMelody, ValuesMapThroughRangeOffsetAndScale) {
    Song song = quarterNoteSong();
    song.blocks[0].melodyRange = 3;
    setSequence(song, 0, {0, 1, 2});
    std::vector<Note> notes(5);
    EXPECT_EQ(renderBlockMelody(notes, song, 0), 5u);
    const std::vector<std::int32_t> expected = {60, 62, 64, 60, 62};
    for (std::size_t k = 0; k < notes.size(); ++k) EXPECT_EQ(notes[k].pitch, expected[k]);
}

TEST(EngineMelody, NegativeValuesAndNegativeOffsets) {
    Song song = quarterNoteSong();
    song.blocks[0].melodyRange = 3;
    setSequence(song, 0, {-1});
    std::vector<Note> notes(1);
    renderBlockMelody(notes, song, 0);
    EXPECT_EQ(notes[0].pitch, 64);  // -1 mod 3 is degree 2

    setSequence(song, 0, {0});
    song.blocks[0].melodyOffset = -7;
    renderBlockMelody(notes, song, 0);
    EXPECT_EQ(notes[0].pitch, 48);
}

TEST(EngineMelody, PitchWrapsToTheLowSevenBits) {
    Song song = quarterNoteSong();
    scaleSetIntervals(song.scale, scaleTypeIntervals(kScaleChromatic));
    setSequence(song, 0, {0});
    song.blocks[0].melodyOffset = -61;
    std::vector<Note> notes(1);
    renderBlockMelody(notes, song, 0);
    EXPECT_EQ(notes[0].pitch, 127);
    song.blocks[0].melodyOffset = 68;
    renderBlockMelody(notes, song, 0);
    EXPECT_EQ(notes[0].pitch, 0);
}

TEST(EngineMelody, MissingValuesLeaveTheNotesUntouched) {
    Song song = quarterNoteSong();
    std::vector<Note> notes(2);
    notes[1].pitch = 71;
    EXPECT_EQ(renderBlockMelody(notes, song, 0), 0u);  // no microsequence in use
    setSequence(song, 0, {5});
    song.microsequences[0].values.reset();
    EXPECT_EQ(renderBlockMelody(notes, song, 0), 0u);  // not computed
    setSequence(song, 0, {5});
    song.microsequences[0].period = 0;
    EXPECT_EQ(renderBlockMelody(notes, song, 0), 0u);
    song.microsequences[0].period = 1;
    song.blocks[0].melodySequence = 7;
    EXPECT_EQ(renderBlockMelody(notes, song, 0), 0u);  // index beyond the count
    EXPECT_EQ(notes[0].pitch, 60);
    EXPECT_EQ(notes[1].pitch, 71);
}

TEST(EngineMelody, ShortValueArrayIsNeverReadBeyondItsEnd) {
    Song song = quarterNoteSong();
    setSequence(song, 0, {0, 1});
    song.microsequences[0].period = 256;
    song.blocks[0].melodyRange = 0;  // corrupt: treated as 1
    std::vector<Note> notes(5);
    EXPECT_EQ(renderBlockMelody(notes, song, 0), 5u);
    for (const Note& note : notes) EXPECT_EQ(note.pitch, 60);
}

// ---- velocity ----

TEST(EngineVelocity, FullRangeMapsValuesModulo127) {
    Song song = quarterNoteSong();
    setSequence(song, 0, {127, 126, -1, 0});
    std::vector<Note> notes(4);
    EXPECT_EQ(renderBlockVelocity(notes, song, 0), 4u);
    EXPECT_EQ(notes[0].velocity, 0.0);
    EXPECT_EQ(notes[1].velocity, 126 / 127.0);
    EXPECT_EQ(notes[2].velocity, 126 / 127.0);
    EXPECT_EQ(notes[3].velocity, 0.0);
}

TEST(EngineVelocity, SmallerRangeCompressesIntoABandWithRealArithmetic) {
    Song song = quarterNoteSong();
    song.blocks[0].velocityRange = 30;
    setSequence(song, 0, {0, 5});
    std::vector<Note> notes(2);
    renderBlockVelocity(notes, song, 0);
    EXPECT_EQ(notes[0].velocity, 70 / 127.0);
    EXPECT_EQ(notes[1].velocity, 71.5 / 127.0);  // 5 x 30 / 100 is 1.5, not 1
}

TEST(EngineVelocity, ThresholdSilencesAndAmpClampsAtOne) {
    Song song = quarterNoteSong();
    setSequence(song, 0, {10, 100});
    song.blocks[0].velocityThreshold = 0.5;
    song.blocks[0].velocityAmp = 3.0;
    std::vector<Note> notes(2);
    renderBlockVelocity(notes, song, 0);
    EXPECT_EQ(notes[0].velocity, 0.0);
    EXPECT_EQ(notes[1].velocity, 1.0);
}

TEST(EngineVelocity, MissingValuesLeaveTheNotesUntouched) {
    Song song = quarterNoteSong();
    std::vector<Note> notes(1);
    notes[0].velocity = 0.25;
    EXPECT_EQ(renderBlockVelocity(notes, song, 0), 0u);
    song.blocks[0].velocitySequence = -1;
    setSequence(song, 0, {5});
    EXPECT_EQ(renderBlockVelocity(notes, song, 0), 0u);
    EXPECT_EQ(notes[0].velocity, 0.25);
}

// ---- accents ----

TEST(EngineAccents, AccentedBeatsStrengthenOffBeatsSoften) {
    Song song = quarterNoteSong();
    song.blocks[0].accents[0] = 1;
    song.blocks[0].accentLevel = 0.5;
    std::vector<Note> notes = notesAt({0.0, 1.0, 0.5, 4.0, 1.9999999999999998}, 0.5);
    notes.push_back({.velocity = 0.8, .start = 0.0});
    EXPECT_EQ(renderBlockAccents(notes, song, 0), notes.size());
    EXPECT_EQ(notes[0].velocity, 0.75);
    EXPECT_EQ(notes[1].velocity, 0.5);   // whole beat without a flag
    EXPECT_EQ(notes[2].velocity, 0.25);  // between beats
    EXPECT_EQ(notes[3].velocity, 0.75);  // beat 1 of the second measure
    EXPECT_EQ(notes[4].velocity, 0.25);  // just short of a whole beat
    EXPECT_EQ(notes[5].velocity, 1.0);   // 1.2 clamped
}

TEST(EngineAccents, MetresBeyondTheNineFlagsNeverReadPastThem) {
    Song song = quarterNoteSong();
    song.beatsPerMeasure = 12;
    song.blocks[0].accents.fill(1);
    song.blocks[0].accentLevel = 0.5;
    std::vector<Note> notes = notesAt({8.0, 10.0}, 0.5);
    renderBlockAccents(notes, song, 0);
    EXPECT_EQ(notes[0].velocity, 0.75);
    EXPECT_EQ(notes[1].velocity, 0.5);
}

// ---- note events ----

TEST(EngineNoteEvents, VelocityAndTicksOfThePair) {
    std::vector<MidiEvent> events;
    appendNoteEvents(events, {.pitch = 64, .velocity = 0.5, .start = 1.0, .duration = 0.5}, 3, 120);
    appendNoteEvents(events, {.pitch = 65, .velocity = 1.0, .start = 2.0, .duration = 1.0}, 3, 120);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0], (MidiEvent{120, 0x93, 64, 63}));
    EXPECT_EQ(events[1], (MidiEvent{179, 0x93, 64, 0}));
    EXPECT_EQ(events[2], (MidiEvent{240, 0x93, 65, 127}));
    EXPECT_EQ(events[3], (MidiEvent{359, 0x93, 65, 0}));
}

TEST(EngineNoteEvents, NotesOfAtMostOneTickEndAtTheirStart) {
    std::vector<MidiEvent> events;
    appendNoteEvents(events, {.velocity = 1.0, .start = 0.0, .duration = 0.0}, 0, 120);
    appendNoteEvents(events, {.velocity = 1.0, .start = 1.0, .duration = 0.001}, 0, 120);
    appendNoteEvents(events, {.velocity = 1.0, .start = 2.0, .duration = 1.0 / 120}, 0, 120);
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[1].time, 0u);  // not wrapped below zero
    EXPECT_EQ(events[3].time, 120u);
    EXPECT_EQ(events[5].time, 240u);
}

TEST(EngineNoteEvents, OutOfRangeLevelsStayInSevenBits) {
    EXPECT_EQ(unitToMidiValue(-0.5), 0);
    EXPECT_EQ(unitToMidiValue(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(unitToMidiValue(2.0), 127);
    EXPECT_EQ(unitToMidiValue(126 / 127.0), 126);
}

// ---- audition tracks ----

TEST(EngineBlockTrack, EventPairsSortedWithTrackSettings) {
    Song song = quarterNoteSong();
    song.blocks[0].channel = 5;
    song.blocks[0].program = 33;
    song.blocks[0].description = "Bass";
    const std::vector<Note> notes = {
        {.pitch = 60, .velocity = 1.0, .start = 1.0, .duration = 1.0},
        {.pitch = 62, .velocity = 1.0, .start = 0.0, .duration = 1.0},
    };
    MidiTrack track;
    track.name = "stale";
    ASSERT_TRUE(renderBlockTrack(track, notes, song.blocks[0], 120));
    EXPECT_FALSE(track.name);
    EXPECT_EQ(track.channel, 5);
    EXPECT_EQ(track.volume, 100);
    EXPECT_EQ(track.pan, 64);
    EXPECT_EQ(track.program, 33);
    const std::vector<MidiEvent> expected = {
        {0, 0x95, 62, 127}, {119, 0x95, 62, 0}, {120, 0x95, 60, 127}, {239, 0x95, 60, 0}};
    EXPECT_EQ(track.events, expected);
}

TEST(EngineBlockTrack, EndBeforeTheNextStartAtTheSameTickKeepsItsOrder) {
    Song song = quarterNoteSong();
    const std::vector<Note> notes = {
        {.pitch = 60, .velocity = 1.0, .start = 0.0, .duration = 1.0 / 120},
        {.pitch = 60, .velocity = 1.0, .start = 0.0, .duration = 1.0},
    };
    MidiTrack track;
    ASSERT_TRUE(renderBlockTrack(track, notes, song.blocks[0], 120));
    ASSERT_EQ(track.events.size(), 4u);
    EXPECT_EQ(track.events[0].data2, 127);
    EXPECT_EQ(track.events[1].data2, 0);
    EXPECT_EQ(track.events[2].data2, 127);
}

TEST(EngineMetronome, ClickOnEveryBeatLouderOnAccents) {
    Song song = quarterNoteSong();
    song.blocks[0].accents[0] = 1;
    MidiTrack track;
    ASSERT_TRUE(renderMetronomeTrack(track, song, 0, 101, 120));
    EXPECT_FALSE(track.name);
    EXPECT_EQ(track.channel, 9);
    EXPECT_EQ(track.program, 127);
    EXPECT_EQ(track.volume, 100);
    EXPECT_EQ(track.pan, 64);
    const std::vector<MidiEvent> expected = {
        {0, 0x99, 42, 101},  {30, 0x99, 42, 0},  {120, 0x99, 42, 50}, {150, 0x99, 42, 0},
        {240, 0x99, 42, 50}, {270, 0x99, 42, 0}, {360, 0x99, 42, 50}, {390, 0x99, 42, 0}};
    EXPECT_EQ(track.events, expected);
}

TEST(EngineMetronome, AccentsRepeatEveryMeasureAtAnyResolution) {
    Song song = quarterNoteSong();
    song.beatsPerMeasure = 3;
    song.blocks[0].lengthMeasures = 2;
    song.blocks[0].accents[2] = 1;
    MidiTrack track;
    ASSERT_TRUE(renderMetronomeTrack(track, song, 0, 127, 24));
    ASSERT_EQ(track.events.size(), 12u);
    EXPECT_EQ(track.events[4], (MidiEvent{48, 0x99, 42, 127}));
    EXPECT_EQ(track.events[5], (MidiEvent{54, 0x99, 42, 0}));
    EXPECT_EQ(track.events[10], (MidiEvent{120, 0x99, 42, 127}));
    EXPECT_EQ(track.events[6].data2, 63);
}

}  // namespace
}  // namespace halvorn

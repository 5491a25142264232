#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "engine/arrangement.h"
#include "engine/note_events.h"
#include "fractal/parameters.h"
#include "midi/midi_settings.h"
#include "model/random.h"
#include "model/song.h"
#include "tests/support/test_support.h"

namespace halvorn {
namespace {

using namespace halvorn::test;

std::vector<std::int32_t> placementStarts(const Macrosequence& macrosequence) {
    std::vector<std::int32_t> starts;
    for (const Placement& placement : macrosequence.placements) {
        starts.push_back(placement.startBeat);
    }
    return starts;
}

std::int32_t placeTrack(Song& song, std::size_t index) {
    return macrosequencePlace(song.macrosequences[index], song.lengthMeasures,
                              song.blocks[index].lengthMeasures, song.beatsPerMeasure);
}

// The same with the draws after the seeding taken from `draws`.
std::int32_t placeTrack(Song& song, std::size_t index, RandomDraws& draws) {
    return macrosequencePlace(song.macrosequences[index], song.lengthMeasures,
                              song.blocks[index].lengthMeasures, song.beatsPerMeasure, draws);
}

std::uint32_t latestTime(const MidiTrack& track) {
    std::uint32_t latest = 0;
    for (const MidiEvent& event : track.events) latest = std::max(latest, event.time);
    return latest;
}

bool isSortedByTime(const MidiTrack& track) {
    return std::is_sorted(track.events.begin(), track.events.end(),
                          [](const MidiEvent& a, const MidiEvent& b) { return a.time < b.time; });
}

class RecordingProgress final : public RenderProgress {
  public:
    void setRange(int lower, int upper) override { calls.push_back(call("range", lower, upper)); }
    void setStep(int step) override { calls.push_back(call("step", step)); }
    void setPosition(int position) override { calls.push_back(call("position", position)); }
    void stepOnce() override { ++steps; }
    std::vector<std::string> calls;
    int steps = 0;

  private:
    static std::string call(const char* name, int a, int b = 0) {
        return std::string(name) + " " + std::to_string(a) + " " + std::to_string(b);
    }
};

// ---- placement ----

TEST(EnginePlacement, EveryMeasureAtProbabilityOne) {
    Song song = quarterNoteSong();
    EXPECT_EQ(placeTrack(song, 0), 4);
    EXPECT_EQ(song.macrosequences[0].placementCount, 4);
    EXPECT_EQ(placementStarts(song.macrosequences[0]), (std::vector<std::int32_t>{0, 4, 8, 12}));
    for (const Placement& placement : song.macrosequences[0].placements) {
        EXPECT_EQ(placement.stretchFactor, 1.0);
    }
}

TEST(EnginePlacement, LongerBlockOnAWiderGridAdvancesToTheNextGridMultiple) {
    Song song = quarterNoteSong();
    song.blocks[0].lengthMeasures = 2;
    song.macrosequences[0].alignment = makeAlignment(3, 0);
    placeTrack(song, 0);
    EXPECT_EQ(placementStarts(song.macrosequences[0]), (std::vector<std::int32_t>{0, 12}));
}

TEST(EnginePlacement, StretchedPlacementOccupiesWholeGridSteps) {
    Song song = quarterNoteSong();
    song.lengthMeasures = 12;
    song.macrosequences[0].alignment = makeAlignment(3, 0);
    song.macrosequences[0].stretchProbabilities = {0.0, 0.0, 1.0, 0.0};
    placeTrack(song, 0);
    EXPECT_EQ(placementStarts(song.macrosequences[0]), (std::vector<std::int32_t>{0, 24}));
    EXPECT_EQ(song.macrosequences[0].placements[0].stretchFactor, 4.0);
}

TEST(EnginePlacement, ProbabilityZeroPlacesNothing) {
    Song song = quarterNoteSong();
    song.macrosequences[0].probability = 0.0;
    song.macrosequences[0].placements = {{0, 1.0}};
    song.macrosequences[0].placementCount = 1;
    EXPECT_EQ(placeTrack(song, 0), 0);
    EXPECT_TRUE(song.macrosequences[0].placements.empty());
}

TEST(EnginePlacement, DisplacementShiftsPlacementsButNotTheGrid) {
    Song song = quarterNoteSong();
    song.macrosequences[0].alignment = makeAlignment(1, 1);
    placeTrack(song, 0);
    EXPECT_EQ(placementStarts(song.macrosequences[0]), (std::vector<std::int32_t>{4, 8, 12, 16}));
}

TEST(EnginePlacement, StretchDrawBeyondTheDistributionKeepsTheBlockLength) {
    Song song = quarterNoteSong();
    song.macrosequences[0].stretchProbabilities = {0.5, 0.49, 0.0, 0.0};
    ScriptedDraws draws({0.0, 0.6, 0.0, 0.995});
    placeTrack(song, 0, draws);
    const auto& placements = song.macrosequences[0].placements;
    ASSERT_EQ(placements.size(), 3u);
    EXPECT_EQ(placements[0].stretchFactor, 2.0);
    EXPECT_EQ(placements[1].stretchFactor, 1.0);  // 0.995 is past 0.99
    EXPECT_EQ(placements[1].startBeat, 8);
    EXPECT_EQ(placements[2].startBeat, 12);
}

TEST(EnginePlacement, StretchIsDrawnOnlyWhenAPlacementIsMade) {
    Song song = quarterNoteSong();
    song.lengthMeasures = 40;
    song.macrosequences[0].probability = 0.5;
    song.macrosequences[0].seed = 777;
    CountedDraws draws(777);
    const std::int32_t count = placeTrack(song, 0, draws);
    EXPECT_GT(count, 0);
    EXPECT_LT(count, 40);
    EXPECT_EQ(draws.count(), 40 + count);
    const std::vector<Placement> drawn = song.macrosequences[0].placements;
    placeTrack(song, 0);  // seeded from the track's seed itself
    EXPECT_EQ(song.macrosequences[0].placements, drawn);
}

TEST(EnginePlacement, SameSeedGivesTheSamePlacements) {
    Song song = quarterNoteSong();
    song.lengthMeasures = 100;
    song.macrosequences[0].probability = 0.4;
    song.macrosequences[0].stretchProbabilities = {0.25, 0.25, 0.25, 0.25};
    placeTrack(song, 0);
    const std::vector<Placement> first = song.macrosequences[0].placements;
    placeTrack(song, 0);
    EXPECT_EQ(song.macrosequences[0].placements, first);
}

TEST(EnginePlacement, CorruptSizesStillTerminate) {
    Song song = quarterNoteSong();
    Macrosequence& track = song.macrosequences[0];
    track.alignment = 0;  // a grid of 0 measures is taken as 1
    EXPECT_EQ(macrosequencePlace(track, 4, 1, 4), 4);
    track.alignment = 1;
    EXPECT_EQ(macrosequencePlace(track, 4, 0, 4), 4);   // empty block: one per measure
    EXPECT_EQ(macrosequencePlace(track, 4, -3, 4), 4);  // negative block length
    EXPECT_EQ(macrosequencePlace(track, 4, 1, 0), 0);   // no beats per measure
    EXPECT_EQ(macrosequencePlace(track, -4, 1, -4), 0);
    EXPECT_EQ(macrosequencePlace(track, 0, 1, 4), 0);
}

// ---- track notes and events ----

TEST(EngineTrack, TrackNotesRepeatTheBlockAtEveryPlacement) {
    Song song = quarterNoteSong();
    placeTrack(song, 0);
    const auto notes = renderTrackNotes(song, 0);
    ASSERT_TRUE(notes);
    ASSERT_EQ(notes->size(), 16u);
    for (std::size_t k = 0; k < notes->size(); ++k) {
        EXPECT_EQ((*notes)[k].start, static_cast<double>(k));
    }
}

TEST(EngineTrack, StretchDoublesStartsAndDurations) {
    Song song = quarterNoteSong();
    song.blocks[0].rhythmDistribution = {};
    song.blocks[0].rhythmDistribution[kSixteenthIndex] = 1.0;
    song.macrosequences[0].stretchProbabilities = {0.0, 1.0, 0.0, 0.0};
    placeTrack(song, 0);
    ASSERT_EQ(placementStarts(song.macrosequences[0]), (std::vector<std::int32_t>{0, 8}));
    const auto notes = renderTrackNotes(song, 0);
    ASSERT_TRUE(notes);
    ASSERT_EQ(notes->size(), 32u);
    EXPECT_EQ((*notes)[4].start, 2.0);  // block offset 1.0
    EXPECT_EQ((*notes)[4].duration, 0.5);
    EXPECT_EQ((*notes)[20].start, 10.0);
}

TEST(EngineTrack, NoPlacementsMeansNoNotesAndAnUntouchedSlot) {
    Song song = quarterNoteSong();
    song.macrosequences[0].probability = 0.0;
    placeTrack(song, 0);
    const auto notes = renderTrackNotes(song, 0);
    ASSERT_TRUE(notes);
    EXPECT_TRUE(notes->empty());
    MidiTrack slot;
    slot.name = "untouched";
    slot.volume = 3;
    EXPECT_EQ(*renderTrack(slot, song, 0, 120), 0);
    EXPECT_EQ(slot.name, "untouched");
    EXPECT_EQ(slot.volume, 3);
}

TEST(EngineTrack, SlotCarriesTheBlockAndTrackSettings) {
    Song song = quarterNoteSong();
    song.blocks[0].description = "Lead";
    song.blocks[0].channel = 5;
    song.blocks[0].program = 40;
    song.macrosequences[0].volume = 0.5;
    song.macrosequences[0].panning = 0.25;
    placeTrack(song, 0);
    MidiTrack slot;
    EXPECT_EQ(*renderTrack(slot, song, 0, 120), 32);
    EXPECT_EQ(slot.name, "Lead");
    EXPECT_EQ(slot.channel, 5);
    EXPECT_EQ(slot.volume, 63);
    EXPECT_EQ(slot.pan, 31);
    EXPECT_EQ(slot.program, 40);
    EXPECT_TRUE(isSortedByTime(slot));
    EXPECT_EQ(slot.events.front(), (MidiEvent{0, 0x95, 60, 0}));
}

TEST(EngineTrack, NotesStartingAtOrAfterTheEndOfThePieceAreCut) {
    Song song = quarterNoteSong();
    song.blocks[0].lengthMeasures = 2;
    song.macrosequences[0].alignment = makeAlignment(3, 0);
    placeTrack(song, 0);
    MidiTrack slot;
    EXPECT_EQ(*renderTrack(slot, song, 0, 120), 2 * (8 + 4));
    EXPECT_EQ(latestTime(slot), 15 * 120 + 119u);
}

TEST(EngineTrack, DisplacedPlacementBeyondTheEndContributesNothing) {
    Song song = quarterNoteSong();
    song.macrosequences[0].alignment = makeAlignment(1, 1);
    placeTrack(song, 0);
    MidiTrack slot;
    EXPECT_EQ(*renderTrack(slot, song, 0, 120), 2 * 12);
    EXPECT_EQ(slot.events.front().time, 4 * 120u);
    EXPECT_EQ(latestTime(slot), 16 * 120 - 1u);
}

TEST(EngineTrack, NotesBeforeThePieceFromANegativeDisplacementAreLeftOut) {
    Song song = quarterNoteSong();
    song.macrosequences[0].alignment = makeAlignment(1, -1);
    placeTrack(song, 0);
    ASSERT_EQ(song.macrosequences[0].placements.front().startBeat, -4);
    MidiTrack slot;
    EXPECT_EQ(*renderTrack(slot, song, 0, 120), 2 * 12);
    EXPECT_EQ(slot.events.front().time, 0u);
    EXPECT_EQ(latestTime(slot), 12 * 120 - 1u);
}

TEST(EngineTrack, NoteStartingBeforeTheEndKeepsItsFullLength) {
    Song song = quarterNoteSong();
    song.lengthMeasures = 1;
    song.blocks[0].dottedProbability = 1.0;  // block notes at 0, 1.5, 3.0
    song.macrosequences[0].stretchProbabilities = {0.0, 1.0, 0.0, 0.0};
    placeTrack(song, 0);
    MidiTrack slot;
    EXPECT_EQ(*renderTrack(slot, song, 0, 120), 4);
    EXPECT_EQ(latestTime(slot), 6 * 120 - 1u);  // the note at 3.0 lasts 3 beats
}

// ---- song ----

// Two tracks: block 0 with a Morse-Thue melody, block 1 muted.
Song twoTrackSong() {
    Song song = quarterNoteSong();
    song.tempo = 137;
    song.beatsPerMeasure = 3;
    song.microsequenceCount = 1;
    microsequenceMakeNew(song.microsequences[0]);
    song.microsequences[0].fractalType = kFractalMorseThue;
    song.microsequences[0].period = 4;
    song.microsequences[0].parameters =
        MorseThueParameters{.base = 10, .start = 0, .step = 1}.toBytes();
    song.blocks[0].melodyRange = 8;
    song.blockCount = 2;
    song.blocks[1] = song.blocks[0];
    song.blocks[1].channel = 1;
    song.macrosequences[1].muted = 1;
    return song;
}

TEST(EngineSong, RendersEveryTrackWithTheSongSettings) {
    Song song = twoTrackSong();
    scaleSet(song.scale, scaleTypeIntervals(kScaleMinor), 9);
    MidiSong midi;
    midi.title = "old";
    midi.tracks[5].events = {{1, 0x90, 1, 1}};
    NoRenderProgress progress;
    ASSERT_TRUE(renderSong(midi, song, progress, false, 96));
    EXPECT_EQ(midi.tempo, 137.0);
    EXPECT_EQ(midi.timeSignatureNumerator, 3);
    EXPECT_EQ(midi.ppqn, 96);
    EXPECT_EQ(midi.keySharps, 0);  // A minor: no sharps or flats
    EXPECT_EQ(midi.keyMinor, 1);
    EXPECT_FALSE(midi.title);
    EXPECT_FALSE(midi.copyright);
    EXPECT_FALSE(midi.comments);
    EXPECT_TRUE(midi.tracks[5].events.empty());
    EXPECT_EQ(midi.tracks[0].eventCount(), 2 * 12u);
    EXPECT_EQ(midi.tracks[1].eventCount(), 2 * 12u);  // muted, but kept for a file
    EXPECT_EQ(midi.tracks[1].channel, 1);
    EXPECT_EQ(midi.eventCount, 48u);
    EXPECT_EQ(midi.lengthTicks, 12 * 96 - 1u);
}

TEST(EngineSong, SkipMutedLeavesMutedSlotsEmpty) {
    Song song = twoTrackSong();
    MidiSong midi;
    NoRenderProgress progress;
    ASSERT_TRUE(renderSong(midi, song, progress, true, 120));
    EXPECT_EQ(midi.tracks[0].eventCount(), 24u);
    EXPECT_EQ(midi.tracks[1].eventCount(), 0u);
    EXPECT_FALSE(midi.tracks[1].name);
    EXPECT_EQ(midi.eventCount, 24u);
}

TEST(EngineSong, ComputesTheSequencesBeforeRendering) {
    Song song = twoTrackSong();
    MidiSong midi;
    NoRenderProgress progress;
    ASSERT_TRUE(renderSong(midi, song, progress, true, 120));
    ASSERT_TRUE(song.microsequences[0].values);
    // Digit sums 0, 1, 2 are degrees of C major; each 3-beat placement
    // repeats the block's three notes.
    const std::vector<std::uint8_t> expected = {60, 62, 64, 60, 62, 64};
    for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(midi.tracks[0].events[2 * k].data1, expected[k]) << k;
        // The same sequence drives the velocity: v / 127 at full range.
        EXPECT_EQ(midi.tracks[0].events[2 * k].data2, unitToMidiValue((k % 3) / 127.0)) << k;
    }
}

TEST(EngineSong, ReportsProgressOverSequencesPlacementsAndTracks) {
    Song song = twoTrackSong();
    MidiSong midi;
    RecordingProgress progress;
    ASSERT_TRUE(renderSong(midi, song, progress, true, 120));
    EXPECT_EQ(progress.calls, (std::vector<std::string>{"range 0 5", "step 1 0", "position 0 0"}));
    EXPECT_EQ(progress.steps, 5);  // skipped tracks step too
}

TEST(EngineSong, BlockWithoutNotesStopsTheRenderingWithItsError) {
    Song song = twoTrackSong();
    song.macrosequences[1].muted = 0;
    song.blocks[1].lengthMeasures = 0;
    MidiSong midi;
    RecordingProgress progress;
    const auto rendered = renderSong(midi, song, progress, false, 120);
    ASSERT_FALSE(rendered);
    EXPECT_EQ(rendered.error().code, ErrorCode::kNotesOutOfMemory);
    EXPECT_EQ(midi.tracks[0].eventCount(), 24u);  // tracks before the failure stay
    EXPECT_EQ(midi.tracks[1].eventCount(), 0u);
    EXPECT_EQ(progress.steps, 1 + 2 + 1);
}

TEST(EngineSong, RenderingTwiceGivesTheSameSong) {
    Song song = twoTrackSong();
    song.blocks[0].rhythmDistribution = {0.1, 0.1, 0.2, 0.2, 0.2, 0.2};
    song.blocks[0].tripletProbability = 0.2;
    song.macrosequences[0].probability = 0.7;
    song.macrosequences[0].stretchProbabilities = {0.5, 0.3, 0.2, 0.0};
    song.lengthMeasures = 50;
    MidiSong first;
    MidiSong second;
    NoRenderProgress progress;
    ASSERT_TRUE(renderSong(first, song, progress, false, 120));
    ASSERT_TRUE(renderSong(second, song, progress, false, 120));
    for (std::size_t i = 0; i < first.tracks.size(); ++i) {
        EXPECT_EQ(first.tracks[i].events, second.tracks[i].events) << i;
    }
}

}  // namespace
}  // namespace halvorn

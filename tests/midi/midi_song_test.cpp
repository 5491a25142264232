#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "midi/midi_song.h"

namespace halvorn {
namespace {

TEST(MidiSong, ResetGivesTheDocumentedDefaults) {
    MidiSong song;
    song.tempo = 33;
    song.ppqn = 384;
    song.title = "x";
    song.timeSignatureNumerator = 7;
    song.tracks[3].volume = 1;
    song.tracks[3].pan = 2;
    song.tracks[3].channel = 9;
    song.tracks[3].program = 5;
    song.eventCount = 12;
    song.lengthTicks = 99;
    midiSongReset(&song);
    EXPECT_EQ(song.tempo, 100.0);
    EXPECT_EQ(song.ppqn, 120);
    EXPECT_FALSE(song.title);
    EXPECT_EQ(song.timeSignatureNumerator, 4);
    for (const auto& track : song.tracks) {
        EXPECT_EQ(track.volume, 100);
        EXPECT_EQ(track.pan, 64);
        EXPECT_EQ(track.channel, 0);
        EXPECT_EQ(track.program, 0);
    }
    // The derived counts are recomputed after filling, not reset.
    EXPECT_EQ(song.eventCount, 12u);
    EXPECT_EQ(song.lengthTicks, 99u);
    midiSongReset(nullptr);
    midiSongFree(nullptr);
}

TEST(MidiSong, CountAndLengthOfAnEmptySong) {
    MidiSong song;
    midiSongCountEvents(song);
    midiSongComputeLength(song);
    EXPECT_EQ(song.eventCount, 0u);
    EXPECT_EQ(song.lengthTicks, 0u);
    EXPECT_EQ(midiSongSortTracks(song), MidiResult::kOk);
}

TEST(MidiSong, LengthComparesTimesAsUnsigned) {
    MidiSong song;
    song.tracks[2].events = {{5, 0x90, 60, 1}, {0x80000001u, 0x90, 60, 0}};
    song.tracks[9].events = {{0x7FFFFFFFu, 0x99, 42, 1}};
    midiSongCountEvents(song);
    midiSongComputeLength(song);
    EXPECT_EQ(song.eventCount, 3u);
    EXPECT_EQ(song.lengthTicks, 0x80000001u);
}

TEST(MidiSortEvents, KeepsEqualTimesInTheirOrder) {
    // A note's end and the next note's start on the same key and tick.
    std::vector<MidiEvent> events = {{240, 0x90, 60, 100}, {119, 0x90, 60, 0}, {120, 0x90, 60, 0},
                                     {120, 0x90, 60, 90},  {0, 0x90, 60, 100}, {120, 0x90, 61, 1}};
    ASSERT_EQ(midiSortEvents(events), MidiResult::kOk);
    const std::vector<MidiEvent> expected = {{0, 0x90, 60, 100}, {119, 0x90, 60, 0},
                                             {120, 0x90, 60, 0}, {120, 0x90, 60, 90},
                                             {120, 0x90, 61, 1}, {240, 0x90, 60, 100}};
    EXPECT_EQ(events, expected);
}

TEST(MidiSortEvents, SortsTimesAbove2To31AsUnsigned) {
    std::vector<MidiEvent> events = {{0xFFFFFFFFu, 0x90, 1, 1},
                                     {0x80000000u, 0x90, 2, 2},
                                     {0x7FFFFFFFu, 0x90, 3, 3},
                                     {0, 0x90, 4, 4}};
    ASSERT_EQ(midiSortEvents(events), MidiResult::kOk);
    EXPECT_EQ(events[0].time, 0u);
    EXPECT_EQ(events[1].time, 0x7FFFFFFFu);
    EXPECT_EQ(events[2].time, 0x80000000u);
    EXPECT_EQ(events[3].time, 0xFFFFFFFFu);
}

TEST(MidiSortEvents, MatchesAStableSortOnRandomInput) {
    std::mt19937 rng(7);
    for (const std::uint32_t spread : {1u, 200u, 70000u, 0xFFFFFFFFu}) {
        std::vector<MidiEvent> events(5000);
        for (std::size_t i = 0; i < events.size(); ++i) {
            events[i].time = spread == 0xFFFFFFFFu ? rng() : rng() % spread;
            events[i].data1 = static_cast<std::uint8_t>(i);
            events[i].data2 = static_cast<std::uint8_t>(i >> 8);
            events[i].status = 0x90;
        }
        std::vector<MidiEvent> expected = events;
        std::stable_sort(expected.begin(), expected.end(),
                         [](const MidiEvent& a, const MidiEvent& b) { return a.time < b.time; });
        ASSERT_EQ(midiSortEvents(events), MidiResult::kOk);
        EXPECT_EQ(events, expected) << "spread " << spread;
    }
}

TEST(MidiDataBytes, FollowTheStatusTable) {
    EXPECT_EQ(midiDataByteCount(0x80), 2);
    EXPECT_EQ(midiDataByteCount(0x9F), 2);
    EXPECT_EQ(midiDataByteCount(0xBF), 2);
    EXPECT_EQ(midiDataByteCount(0xC0), 1);
    EXPECT_EQ(midiDataByteCount(0xDF), 1);
    EXPECT_EQ(midiDataByteCount(0xE5), 2);
    EXPECT_EQ(midiDataByteCount(0xF0), 1);
    EXPECT_EQ(midiDataByteCount(0xF1), 1);
    EXPECT_EQ(midiDataByteCount(0xF2), 2);
    EXPECT_EQ(midiDataByteCount(0xF3), 1);
    EXPECT_EQ(midiDataByteCount(0xF5), 1);
    EXPECT_EQ(midiDataByteCount(0xF6), 0);
    EXPECT_EQ(midiDataByteCount(0xF8), 0);
    EXPECT_EQ(midiDataByteCount(0xFF), 0);
}

}  // namespace
}  // namespace halvorn

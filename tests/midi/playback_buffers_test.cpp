// The buffers playback builds, checked record by record on a stream that
// plays them only when the test says so.

#include <gtest/gtest.h>

#include "midi/playback_window.h"
#include "tests/support/playback_test_support.h"

namespace halvorn::test {
namespace {

constexpr std::uint32_t kNop = kMidiStreamNoOperation;

class PlaybackBuffers : public ::testing::Test {
  protected:
    void SetUp() override {
        midi.deviceProvider = std::make_shared<CaptureProvider>(log);
        midiListOutputDevices(midi);
    }
    void prepareAndStart(MidiSong& song, bool loop = false, bool clock = false) {
        ASSERT_EQ(
            keep(lease, midiPlaybackPrepare(
                            midi.playback(), &song,
                            [this](std::uint32_t tick) { endTicks.push_back(tick); }, loop, clock)),
            MidiResult::kOk);
        ASSERT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kOk);
    }

    // Plays buffers until none is left or `limit` have been played.
    void playAll(int limit = 1000) {
        for (int i = 0; i < limit && log->playNext(); ++i) {
        }
    }

    std::shared_ptr<CaptureLog> log = std::make_shared<CaptureLog>();
    std::vector<std::uint32_t> endTicks;
    MidiSystem midi;  // after the log: its playback closes first
    PlaybackLease lease;
};

TEST_F(PlaybackBuffers, WorkedExampleFirstBufferRecordByRecord) {
    // The note at 300 makes the song go on past the first window.
    MidiSong song = makeSong({{noteOn(0, 0x3C), noteOff(119, 0x3C), noteOn(300, 0x40)}});
    prepareAndStart(song, false, true);
    ASSERT_EQ(log->queued.size(), 2u);

    std::vector<MidiStreamRecord> expected = {{0, 0, 0xFA}, {0, 0, 0x643C90}, {0, 0, 0xF8}};
    for (int tick = 5; tick <= 115; tick += 5) expected.push_back({5, 0, 0xF8});
    expected.push_back({4, 0, 0x3C90});
    EXPECT_EQ(recordsOf(log->queued[0]), expected);
    EXPECT_EQ(log->queued[0].userWord, 0u);

    // The next window is [120, 240): clock only, measured from the note at 119.
    const auto second = recordsOf(log->queued[1]);
    ASSERT_EQ(second.size(), 24u);
    EXPECT_EQ(second[0], (MidiStreamRecord{1, 0, 0xF8}));
    EXPECT_EQ(second[23], (MidiStreamRecord{5, 0, 0xF8}));
    EXPECT_EQ(log->queued[1].userWord, 1u);
}

TEST_F(PlaybackBuffers, LastEventOnWindowBoundaryIsSentByTheWindowThatCoversIt) {
    midi.settings.bufferBeats = 4;
    MidiSong song = makeSong({{noteOn(0, 60), noteOff(480, 60)}});
    prepareAndStart(song);
    ASSERT_EQ(log->queued.size(), 2u);
    EXPECT_EQ(recordsOf(log->queued[0]), (std::vector<MidiStreamRecord>{{0, 0, 0x643C90}}));
    EXPECT_EQ(log->queued[0].userWord & kPlaybackEndMark, 0u);
    EXPECT_EQ(recordsOf(log->queued[1]), (std::vector<MidiStreamRecord>{{480, 0, 0x3C90}}));
    EXPECT_EQ(log->queued[1].userWord, 1u | kPlaybackEndMark);

    playAll();
    EXPECT_EQ(log->queued.size(), 2u);
    ASSERT_EQ(endTicks.size(), 1u);
    EXPECT_EQ(endTicks[0], 1440u);  // the window end playback had reached
}

TEST_F(PlaybackBuffers, SongShorterThanOneWindowQueuesOneBuffer) {
    MidiSong song = makeSong({{noteOn(0, 60), noteOff(60, 60)}});
    prepareAndStart(song);
    ASSERT_EQ(log->queued.size(), 1u);
    EXPECT_EQ(log->queued[0].userWord, kPlaybackEndMark);
    EXPECT_TRUE(log->running);
    playAll();
    EXPECT_EQ(endTicks.size(), 1u);
}

TEST_F(PlaybackBuffers, LongRestQueuesNoOperationsAndCarriesTheGap) {
    MidiSong song =
        makeSong({{noteOn(0, 60), noteOff(10, 60), noteOn(1000, 62), noteOff(1010, 62)}});
    prepareAndStart(song);
    playAll();
    // Windows [120, 960) are empty: one no-operation each.
    ASSERT_EQ(log->queued.size(), 9u);
    for (int i = 1; i <= 7; ++i)
        EXPECT_EQ(recordsOf(log->queued[i]), (std::vector<MidiStreamRecord>{{0, 0, kNop}})) << i;
    EXPECT_EQ(recordsOf(log->queued[8]),
              (std::vector<MidiStreamRecord>{{990, 0, 0x643E90}, {10, 0, 0x3E90}}));
    EXPECT_EQ(log->queued[8].userWord, 0u | kPlaybackEndMark);  // the ring wrapped to header 0
    EXPECT_EQ(endTicks.size(), 1u);
}

TEST_F(PlaybackBuffers, EqualTicksLeaveInTrackOrderThenClock) {
    MidiSong song = makeSong(
        {{noteOn(0, 60), noteOff(100, 60)}, {}, {noteOn(0, 64, 90, 2), noteOff(100, 64, 2)}});
    prepareAndStart(song, false, true);
    const auto records = recordsOf(log->queued[0]);
    ASSERT_GE(records.size(), 4u);
    EXPECT_EQ(records[0].event, 0xFAu);
    EXPECT_EQ(records[1].event, 0x643C90u);
    EXPECT_EQ(records[2].event, 0x5A4092u);
    EXPECT_EQ(records[3].event, 0xF8u);
    // At tick 100 (a clock tick too): track 0, track 2, then the clock.
    std::uint32_t tick = 0;
    std::vector<std::uint32_t> at100;
    for (const auto& r : records) {
        tick += r.delta;
        if (tick == 100) at100.push_back(r.event);
    }
    EXPECT_EQ(at100, (std::vector<std::uint32_t>{0x3C90, 0x4092, 0xF8}));
}

TEST_F(PlaybackBuffers, TwoEventsOfTwoTracksInReverseOrderLeaveInTimeOrder) {
    // Gathered track by track, the window holds tick 50 before tick 10: the
    // smallest list the merge has to sort.
    MidiSong song = makeSong({{noteOn(50, 60)}, {noteOn(10, 64, 90, 1)}});
    prepareAndStart(song);
    ASSERT_FALSE(log->queued.empty());
    EXPECT_EQ(recordsOf(log->queued[0]),
              (std::vector<MidiStreamRecord>{{10, 0, 0x5A4091}, {40, 0, 0x643C90}}));
}

// Devices locked to our clock: one Start, the first clock with it, 24 a
// quarter, and at every loop restart a Song Position Pointer to 0 and a
// Continue, right before that pass's first clock.
TEST_F(PlaybackBuffers, LoopRestartsAtTickZeroWithStartOnlyOnce) {
    MidiSong song = makeSong({{noteOn(30, 60), noteOff(200, 60)}});
    prepareAndStart(song, true, true);
    playAll(12);  // several passes of two windows
    int starts = 0, clocks = 0, continues = 0, positions = 0, stops = 0;
    for (const auto& buffer : log->queued)
        for (const auto& r : recordsOf(buffer)) {
            starts += r.event == 0xFA;
            clocks += r.event == 0xF8;
            continues += r.event == 0xFB;
            positions += r.event == 0xF2;
            stops += r.event == 0xFC;
            EXPECT_EQ(buffer.userWord & kPlaybackEndMark, 0u);
        }
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(stops, 0);
    EXPECT_EQ(recordsOf(log->queued[0])[0], (MidiStreamRecord{0, 0, 0xFA}));
    EXPECT_EQ(recordsOf(log->queued[0])[1], (MidiStreamRecord{0, 0, 0xF8}));
    EXPECT_EQ(clocks, 24 * static_cast<int>(log->queued.size()));
    EXPECT_EQ(continues, static_cast<int>(log->queued.size()) / 2 - 1);
    EXPECT_EQ(positions, continues);
    // Buffer 2 starts the second pass: its note is measured from 0, not 200.
    const auto secondPass = recordsOf(log->queued[2]);
    ASSERT_EQ(secondPass.size(), 27u);
    EXPECT_EQ(secondPass[0], (MidiStreamRecord{0, 0, 0xF2}));  // song position 0
    EXPECT_EQ(secondPass[1], (MidiStreamRecord{0, 0, 0xFB}));
    EXPECT_EQ(secondPass[2], (MidiStreamRecord{0, 0, 0xF8}));
    std::uint32_t tick = 0;
    for (const auto& r : secondPass) {
        tick += r.delta;
        if (r.event == 0x643C90) {
            EXPECT_EQ(tick, 30u);
        }
    }
    EXPECT_TRUE(endTicks.empty());
}

// Every note of every pass, looked up at the stream tick its record plays
// at, is found at its own song tick; so is each pass's end, where the next
// pass begins.
TEST_F(PlaybackBuffers, PositionIsTheSongTickOfTheLoopPassBeingHeard) {
    for (const bool clock : {false, true}) {
        SCOPED_TRACE(clock ? "with clock" : "without clock");
        log->queued.clear();
        MidiSong song = makeSong({{noteOn(30, 60), noteOff(200, 60)}});
        prepareAndStart(song, true, clock);
        log->position.reset();
        EXPECT_EQ(midiPlaybackPositionTicks(midi.playback()),
                  std::nullopt);  // the stream cannot tell
        playAll(9);
        std::uint64_t streamTick = 0;
        int notes = 0;
        for (const auto& buffer : log->queued) {
            for (const auto& r : recordsOf(buffer)) {
                streamTick += r.delta;
                log->position = streamTick;
                if (r.event == 0x643C90) {
                    EXPECT_EQ(midiPlaybackPositionTicks(midi.playback()), 30u) << streamTick;
                    ++notes;
                } else if (r.event == 0x3C90) {
                    EXPECT_EQ(midiPlaybackPositionTicks(midi.playback()), 200u) << streamTick;
                    // Without clock the note-off is the pass's last event.
                    log->position = streamTick + 1;
                    EXPECT_EQ(midiPlaybackPositionTicks(midi.playback()), clock ? 201u : 1u)
                        << streamTick;
                }
            }
        }
        EXPECT_GE(notes, 4);
        ASSERT_EQ(midiPlaybackStop(midi.playback()), MidiResult::kOk);
        EXPECT_EQ(midiPlaybackPositionTicks(midi.playback()), std::nullopt);
    }
}

TEST_F(PlaybackBuffers, StopWithBuffersQueuedReleasesThemAndQueuesNothing) {
    MidiSong song = makeSong({{noteOn(0, 60), noteOff(2000, 60)}});
    prepareAndStart(song);
    ASSERT_EQ(log->inFlight.size(), 2u);
    EXPECT_EQ(midiPlaybackStop(midi.playback()), MidiResult::kOk);
    EXPECT_TRUE(log->closed);
    EXPECT_TRUE(log->inFlight.empty());
    EXPECT_EQ(log->queued.size(), 2u);
    EXPECT_TRUE(endTicks.empty());
    EXPECT_FALSE(midiPlaybackIsPlaying(midi.playback()));
    EXPECT_EQ(midiPlaybackStop(midi.playback()), MidiResult::kOk);  // stopping again does nothing
}

TEST_F(PlaybackBuffers, StartWhilePlayingChangesNothing) {
    MidiSong song = makeSong({{noteOn(0, 60), noteOff(2000, 60)}});
    prepareAndStart(song);
    EXPECT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kOk);
    EXPECT_EQ(log->queued.size(), 2u);
    EXPECT_EQ(log->opens, 1);
}

TEST_F(PlaybackBuffers, WindowLargerThanTheMergeListKeepsEveryEventInOrder) {
    std::vector<MidiEvent> events;
    for (std::uint32_t i = 0; i < 1500; ++i) {
        events.push_back(noteOn(i / 20, static_cast<std::uint8_t>(i % 128)));
    }
    MidiSong song = makeSong({events, {noteOn(3, 1)}}, 120);
    prepareAndStart(song, false, true);
    const auto records = recordsOf(log->queued[0]);
    // Start, the notes, the clock, and the Stop that ends a clocked song.
    ASSERT_EQ(records.size(), 1 + 1501 + 24u + 1);
    EXPECT_EQ(records.back(), (MidiStreamRecord{0, 0, 0xFC}));
    std::uint32_t tick = 0, notes = 0;
    for (const auto& r : records) {
        tick += r.delta;
        notes += (r.event & 0xF0) == 0x90;
    }
    EXPECT_EQ(notes, 1501u);
    EXPECT_EQ(tick, 115u);
}

TEST_F(PlaybackBuffers, FailingQueueAtStartReportsFailure) {
    log->queueFailuresFrom = 0;
    MidiSong song = makeSong({{noteOn(0, 60), noteOff(500, 60)}});
    ASSERT_EQ(keep(lease, midiPlaybackPrepare(midi.playback(), &song, nullptr, false, false)),
              MidiResult::kOk);
    EXPECT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kDeviceError);
    EXPECT_FALSE(midiPlaybackIsPlaying(midi.playback()));
    EXPECT_FALSE(log->running);
}

TEST_F(PlaybackBuffers, FailingRefillTellsTheOwnerAndStopsRefilling) {
    MidiSong song = makeSong({{noteOn(0, 60), noteOff(2000, 60)}});
    prepareAndStart(song);
    log->queueFailuresFrom = 2;
    ASSERT_TRUE(log->playNext());
    ASSERT_EQ(endTicks.size(), 1u);  // told at once, not left silent
    EXPECT_EQ(endTicks[0], 360u);    // the window that failed was not advanced past
    playAll();
    EXPECT_EQ(log->queueCalls, 3);  // the second notification does not retry
    EXPECT_EQ(midiPlaybackStop(midi.playback()), MidiResult::kOk);
}

TEST_F(PlaybackBuffers, PrepareWhilePlayingTakesThePlaybackFromTheFirstLease) {
    MidiSong first = makeSong({{noteOn(0, 60), noteOff(2000, 60)}});
    MidiSong second = makeSong({{noteOn(0, 64), noteOff(100, 64)}});
    prepareAndStart(first);
    EXPECT_TRUE(lease.held());
    PlaybackLease secondLease;
    std::vector<std::uint32_t> secondEnds;
    ASSERT_EQ(
        keep(secondLease, midiPlaybackPrepare(
                              midi.playback(), &second,
                              [&](std::uint32_t t) { secondEnds.push_back(t); }, false, false)),
        MidiResult::kOk);
    EXPECT_FALSE(lease.held());
    EXPECT_TRUE(secondLease.held());
    EXPECT_EQ(log->opens, 2);
    // The first owner letting go of its stale lease leaves the second alone.
    lease.release();
    EXPECT_TRUE(secondLease.held());
    ASSERT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kOk);
    playAll();
    EXPECT_EQ(secondEnds.size(), 1u);
    EXPECT_TRUE(endTicks.empty());
    // Moving a lease moves the hold; releasing it closes the stream.
    PlaybackLease moved = std::move(secondLease);
    EXPECT_FALSE(secondLease.held());
    EXPECT_TRUE(moved.held());
    moved.release();
    EXPECT_FALSE(moved.held());
    EXPECT_TRUE(log->closed);
}

TEST_F(PlaybackBuffers, ResultCodes) {
    MidiSong song = makeSong({{noteOn(0, 60), noteOff(100, 60)}});
    EXPECT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kDeviceError);  // nothing prepared
    EXPECT_EQ(midiPlaybackPause(midi.playback()), MidiResult::kDeviceError);
    EXPECT_EQ(midiPlaybackQueueNext(midi.playback(), &song), MidiResult::kDeviceError);
    const MidiStatus noSong =
        keep(lease, midiPlaybackPrepare(midi.playback(), nullptr, nullptr, false, false));
    EXPECT_EQ(noSong, MidiResult::kNoSong);
    ASSERT_FALSE(noSong);
    EXPECT_EQ(noSong.error().code, ErrorCode::kNoSong);
    EXPECT_TRUE(noSong.error().message.empty());  // only a device gives its reason
    EXPECT_EQ(log->opens, 0);                     // refused before touching the stream
    ASSERT_EQ(keep(lease, midiPlaybackPrepare(midi.playback(), &song, nullptr, false, false)),
              MidiResult::kOk);
    EXPECT_EQ(midiPlaybackQueueNext(midi.playback(), &song), MidiResult::kEndOfSong);
    EXPECT_EQ(midiPlaybackPause(midi.playback()), MidiResult::kOk);
    EXPECT_EQ(midiPlaybackPause(midi.playback()), MidiResult::kOk);
    EXPECT_EQ(midiPlaybackStop(midi.playback()),
              MidiResult::kOk);  // prepared but not playing: nothing to do
    EXPECT_EQ(midiCloseStream(midi.playback()), MidiResult::kOk);

    MidiSong silent = makeSong({{noteOn(0, 60)}});
    silent.tempo = 0.0;
    EXPECT_EQ(keep(lease, midiPlaybackPrepare(midi.playback(), &silent, nullptr, false, false)),
              MidiResult::kDeviceError);

    midi.deviceProvider = nullptr;
    midiListOutputDevices(midi);
    const MidiStatus prepared =
        keep(lease, midiPlaybackPrepare(midi.playback(), &song, nullptr, false, false));
    EXPECT_EQ(prepared, MidiResult::kDeviceError);
    ASSERT_FALSE(prepared);
    EXPECT_FALSE(prepared.error().message.empty());
}

TEST(PlaybackWindowTest, GatherEmptyWindowAndClockStep) {
    MidiSong song = makeSong({{noteOn(500, 60)}});
    MidiEventList list;
    PlaybackCursors cursors{};
    ASSERT_EQ(midiEventListCreate(list, 4), MidiResult::kOk);
    PlaybackWindow window{120, 120, 0, false};
    EXPECT_EQ(playbackGatherWindow(song, cursors, list, window, false),
              MidiResult::kNoEventsInWindow);
    EXPECT_EQ(playbackClockStep(120), 5u);
    EXPECT_EQ(playbackClockStep(24), 1u);
    EXPECT_EQ(playbackClockStep(10), 1u);  // below 24: still advances
    song.ppqn = 10;
    window = {10, 10, 0, false};
    EXPECT_EQ(playbackGatherWindow(song, cursors, list, window, true), MidiResult::kOk);
    EXPECT_EQ(list.count, 10u);
    EXPECT_GE(list.capacity, 10u);  // grew past 4
    midiEventListFree(list);
    EXPECT_EQ(list.capacity, 0u);
    EXPECT_EQ(list.items, nullptr);
}

}  // namespace
}  // namespace halvorn::test

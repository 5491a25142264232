// Whole songs played by the software stream into a recorder: what leaves,
// when, and that no note is left sounding.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "tests/support/playback_test_support.h"
#include "tests/support/wait_for.h"

namespace halvorn::test {
namespace {

using std::chrono::nanoseconds;

struct EndFlag {
    std::mutex mutex;
    std::condition_variable changed;
    int ends = 0;

    MidiPlaybackEndFunction callback() {
        return [this](std::uint32_t) {
            std::lock_guard lock(mutex);
            ++ends;
            changed.notify_all();
        };
    }
    bool wait() {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(20), [this] { return ends > 0; });
    }
};

// Notes on two channels, overlapping, over several windows.
MidiSong severalWindowsSong() {
    std::vector<MidiEvent> melody, bass;
    for (std::uint32_t i = 0; i < 16; ++i) {
        melody.push_back(noteOn(i * 60, static_cast<std::uint8_t>(60 + i % 7)));
        melody.push_back(noteOff(i * 60 + 50, static_cast<std::uint8_t>(60 + i % 7)));
    }
    for (std::uint32_t i = 0; i < 4; ++i) {
        bass.push_back(noteOn(i * 240, 36, 80, 1));
        bass.push_back(noteOff(i * 240 + 240, 36, 1));
    }
    return makeSong({melody, bass}, 120, 150.0);
}

class PlaybackRecording : public ::testing::Test {
  protected:
    MidiSystem midi;
    PlaybackLease lease;
};

TEST_F(PlaybackRecording, SongLeavesInOrderAtItsTicksAndEndsOnce) {
    auto clock = std::make_shared<VirtualMidiClock>();
    auto log = installRecorder(midi, clock);
    MidiSong song = severalWindowsSong();
    EndFlag end;
    ASSERT_EQ(
        keep(lease, midiPlaybackPrepare(midi.playback(), &song, end.callback(), false, false)),
        MidiResult::kOk);
    ASSERT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kOk);
    ASSERT_TRUE(end.wait());

    // Expected: all events merged by time, track 0 before track 1.
    const std::vector<MidiEvent> expected = mergedEvents(song);
    const auto sent = log->messages();
    ASSERT_EQ(sent.size(), expected.size());
    const std::int64_t usPerQuarter = 60000000 / 150;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const MidiEvent& e = expected[i];
        EXPECT_EQ(sent[i].message, midiPackShortMessage(e.status, e.data1, e.data2)) << i;
        EXPECT_EQ(sent[i].due, nanoseconds(e.time * usPerQuarter * 1000 / 120)) << i;
    }
    EXPECT_TRUE(soundingNotes(sent).empty());
    ASSERT_EQ(midiPlaybackStop(midi.playback()), MidiResult::kOk);
    EXPECT_EQ(end.ends, 1);
}

TEST_F(PlaybackRecording, LoopWithClockKeepsPlayingFromTickZeroWithOneStart) {
    auto clock = std::make_shared<VirtualMidiClock>();
    auto log = installRecorder(midi, clock);
    MidiSong song = makeSong({{noteOn(30, 60), noteOff(200, 60)}});
    EndFlag end;
    ASSERT_EQ(keep(lease, midiPlaybackPrepare(midi.playback(), &song, end.callback(), true, true)),
              MidiResult::kOk);
    ASSERT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kOk);
    ASSERT_TRUE(waitFor([&] { return log->size() > 500; }));
    ASSERT_EQ(midiPlaybackStop(midi.playback()), MidiResult::kOk);
    const auto sent = log->messages();
    EXPECT_EQ(sent[0].message, 0xFAu);
    std::vector<nanoseconds> noteStarts;
    int starts = 0;
    for (const auto& m : sent) {
        starts += m.message == 0xFA;
        if (m.message == 0x643C90) noteStarts.push_back(m.due);
    }
    EXPECT_EQ(starts, 1);
    // Stopped by the user: the devices locked to our clock hear a Stop, last.
    EXPECT_EQ(sent.back().message, 0xFCu);
    EXPECT_EQ(
        std::count_if(sent.begin(), sent.end(), [](const auto& m) { return m.message == 0xFC; }),
        1);
    ASSERT_GE(noteStarts.size(), 3u);
    // Each pass lasts until the last message of its final window (the clock
    // at tick 235); the note comes 30 ticks into every pass.
    const std::int64_t pass = 235 * 500000000LL / 120;
    EXPECT_EQ(noteStarts[0], nanoseconds(30 * 500000000LL / 120));
    EXPECT_NEAR((noteStarts[1] - noteStarts[0]).count(), pass, 2);
    EXPECT_NEAR((noteStarts[2] - noteStarts[1]).count(), pass, 2);
    EXPECT_TRUE(soundingNotes(sent).empty());
    EXPECT_EQ(end.ends, 0);
}

TEST_F(PlaybackRecording, StopMidSongEndsEverySoundingNote) {
    auto clock = std::make_shared<SteadyMidiClock>();
    auto log = installRecorder(midi, clock);
    MidiSong song = makeSong({{noteOn(0, 60), noteOn(0, 64), noteOff(2400, 60), noteOff(2400, 64)},
                              {noteOn(0, 40, 90, 9), noteOff(2400, 40, 9)}});
    ASSERT_EQ(keep(lease, midiPlaybackPrepare(midi.playback(), &song, nullptr, false, false)),
              MidiResult::kOk);
    ASSERT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kOk);
    ASSERT_TRUE(waitFor([&] { return log->size() == 3; }));
    ASSERT_EQ(midiPlaybackStop(midi.playback()), MidiResult::kOk);
    const auto sent = log->messages();
    EXPECT_EQ(sent.size(), 6u);
    EXPECT_TRUE(soundingNotes(sent).empty());
    for (const auto& m : sent)
        EXPECT_EQ(midiMessageStatus(m.message) & 0xF0, 0x90);  // no controllers
}

TEST_F(PlaybackRecording, CloseWithoutStopAlsoEndsSoundingNotes) {
    auto clock = std::make_shared<SteadyMidiClock>();
    auto log = installRecorder(midi, clock);
    MidiSong song = makeSong({{noteOn(0, 60), noteOff(4800, 60)}});
    ASSERT_EQ(keep(lease, midiPlaybackPrepare(midi.playback(), &song, nullptr, false, false)),
              MidiResult::kOk);
    ASSERT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kOk);
    ASSERT_TRUE(waitFor([&] { return log->size() == 1; }));
    ASSERT_EQ(midiCloseStream(midi.playback()), MidiResult::kOk);
    EXPECT_FALSE(midiPlaybackIsPlaying(midi.playback()));
    EXPECT_TRUE(soundingNotes(log->messages()).empty());
    EXPECT_EQ(midiPlaybackStop(midi.playback()), MidiResult::kOk);
}

TEST_F(PlaybackRecording, PauseHoldsThePositionAndSilences) {
    auto clock = std::make_shared<SteadyMidiClock>();
    auto log = installRecorder(midi, clock);
    MidiSong song = makeSong({{noteOn(0, 60), noteOff(24, 60), noteOn(48, 62), noteOff(72, 62)}},
                             24, 600.0);  // 100 ms a beat
    EndFlag end;
    ASSERT_EQ(
        keep(lease, midiPlaybackPrepare(midi.playback(), &song, end.callback(), false, false)),
        MidiResult::kOk);
    ASSERT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kOk);
    ASSERT_TRUE(waitFor([&] { return log->size() >= 1; }));
    ASSERT_EQ(midiPlaybackPause(midi.playback()), MidiResult::kOk);
    ASSERT_TRUE(waitFor([&] { return soundingNotes(log->messages()).empty(); }));
    const std::size_t atPause = log->size();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(log->size(), atPause);
    ASSERT_EQ(midiPlaybackPause(midi.playback()), MidiResult::kOk);
    ASSERT_TRUE(end.wait());
    EXPECT_TRUE(soundingNotes(log->messages()).empty());
}

// A recorder whose destination can be made to go away, as a port does when
// its program quits.
class VanishingOutput final : public MidiOutput {
  public:
    VanishingOutput(std::shared_ptr<MessageLog> log, std::shared_ptr<std::atomic<bool>> gone)
        : log_(std::move(log)), gone_(std::move(gone)) {}
    void send(MidiShortMessage message, nanoseconds due) override {
        log_->append({message, due, due});
    }
    std::string lostReason() override { return *gone_ ? "The port is gone." : ""; }

  private:
    std::shared_ptr<MessageLog> log_;
    std::shared_ptr<std::atomic<bool>> gone_;
};

TEST_F(PlaybackRecording, OutputGoingAwayEndsPlaybackWithItsReasonAndNoNoteSounding) {
    auto clock = std::make_shared<SteadyMidiClock>();
    auto log = std::make_shared<MessageLog>();
    auto gone = std::make_shared<std::atomic<bool>>(false);
    installOnlyOutputDevice(
        midi, "Port", [log, gone] { return std::make_unique<VanishingOutput>(log, gone); }, clock);
    // Ten seconds of a held note and a beat every 50 ms (24 ticks a beat).
    std::vector<MidiEvent> beats{noteOn(0, 36)};
    for (std::uint32_t tick = 0; tick < 4800; tick += 24) {
        beats.push_back(noteOn(tick, 60));
        beats.push_back(noteOff(tick + 12, 60));
    }
    beats.push_back(noteOff(4800, 36));
    MidiSong song = makeSong({beats}, 24, 1200.0);
    EndFlag end;
    ASSERT_EQ(
        keep(lease, midiPlaybackPrepare(midi.playback(), &song, end.callback(), false, false)),
        MidiResult::kOk);
    ASSERT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kOk);
    ASSERT_TRUE(waitFor([&] { return log->size() >= 4; }));
    EXPECT_EQ(midiPlaybackFailure(midi.playback()), "");
    *gone = true;
    const auto wentAway = std::chrono::steady_clock::now();
    ASSERT_TRUE(end.wait());
    // Told within a window or two (a beat each), long before the song's end.
    EXPECT_LT(std::chrono::steady_clock::now() - wentAway, std::chrono::seconds(1));
    EXPECT_EQ(midiPlaybackFailure(midi.playback()), "The port is gone.");
    EXPECT_TRUE(midiPlaybackIsPlaying(midi.playback()));  // the owner stops it, as at an end
    ASSERT_EQ(midiPlaybackStop(midi.playback()), MidiResult::kOk);
    EXPECT_TRUE(soundingNotes(log->messages()).empty());
    EXPECT_EQ(end.ends, 1);

    // The next playback starts afresh.
    *gone = false;
    MidiSong shortSong = makeSong({{noteOn(0, 60), noteOff(12, 60)}}, 24, 1200.0);
    EndFlag shortEnd;
    ASSERT_EQ(keep(lease, midiPlaybackPrepare(midi.playback(), &shortSong, shortEnd.callback(),
                                              false, false)),
              MidiResult::kOk);
    EXPECT_EQ(midiPlaybackFailure(midi.playback()), "");
    ASSERT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kOk);
    ASSERT_TRUE(shortEnd.wait());
    EXPECT_EQ(midiPlaybackFailure(midi.playback()), "");
}

}  // namespace
}  // namespace halvorn::test

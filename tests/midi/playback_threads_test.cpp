// Start/stop storms with buffers in flight, loops, end notifications and
// take-overs: run under ThreadSanitizer by `make test`.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "tests/support/playback_test_support.h"
#include "tests/support/wait_for.h"

namespace halvorn::test {
namespace {

MidiSong busySong(std::uint32_t beats) {
    std::vector<std::vector<MidiEvent>> tracks(4);
    for (std::uint32_t t = 0; t < 4; ++t)
        for (std::uint32_t tick = 0; tick < beats * 120; tick += 30) {
            const auto key = static_cast<std::uint8_t>(48 + t * 5 + tick % 7);
            tracks[t].push_back(noteOn(tick, key, 90, static_cast<std::uint8_t>(t)));
            tracks[t].push_back(noteOff(tick + 25, key, static_cast<std::uint8_t>(t)));
        }
    return makeSong(tracks);
}

bool balanced(const std::vector<RecordedMessage>& messages) {
    std::array<int, 16 * 128> sounding{};
    for (const auto& m : messages) {
        const int status = midiMessageStatus(m.message);
        if ((status & 0xF0) != 0x90) continue;
        int& count = sounding[(status & 0x0F) * 128 + midiMessageData1(m.message)];
        if (midiMessageData2(m.message) > 0)
            ++count;
        else if (count > 0)
            --count;
    }
    for (int count : sounding)
        if (count != 0) return false;
    return true;
}

class PlaybackThreads : public ::testing::Test {
  protected:
    MidiSystem midi;
    PlaybackLease lease;
};

TEST_F(PlaybackThreads, StartStopStormOnTheVirtualClock) {
    auto log = installRecorder(midi, std::make_shared<VirtualMidiClock>());
    MidiSong song = busySong(64);
    for (int i = 0; i < 60; ++i) {
        const bool loop = i % 2 == 0;
        ASSERT_EQ(
            keep(lease, midiPlaybackPrepare(midi.playback(), &song, nullptr, loop, i % 3 == 0)),
            MidiResult::kOk);
        ASSERT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kOk);
        std::this_thread::sleep_for(std::chrono::microseconds(100 * (i % 7)));
        ASSERT_EQ(midiPlaybackStop(midi.playback()), MidiResult::kOk);
        ASSERT_EQ(midiCloseStream(midi.playback()), MidiResult::kOk);
        ASSERT_TRUE(balanced(log->messages())) << i;
    }
}

TEST_F(PlaybackThreads, StartPauseStopStormOnTheRealClock) {
    auto log = installRecorder(midi, std::make_shared<SteadyMidiClock>());
    MidiSong song = busySong(16);
    song.tempo = 2400.0;  // 25 ms a beat: several windows in flight per round
    for (int i = 0; i < 30; ++i) {
        ASSERT_EQ(keep(lease, midiPlaybackPrepare(midi.playback(), &song, nullptr, true, true)),
                  MidiResult::kOk);
        ASSERT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kOk);
        std::this_thread::sleep_for(std::chrono::milliseconds(i % 5));
        if (i % 3 == 0) {
            EXPECT_EQ(midiPlaybackPause(midi.playback()), MidiResult::kOk);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(i % 4));
        ASSERT_EQ(midiPlaybackStop(midi.playback()), MidiResult::kOk);
        ASSERT_EQ(midiCloseStream(midi.playback()), MidiResult::kOk);
    }
    EXPECT_TRUE(balanced(log->messages()));
}

TEST_F(PlaybackThreads, EndNotificationsForwardedToTheOwnerThread) {
    installRecorder(midi, std::make_shared<VirtualMidiClock>());
    MidiSong song = busySong(6);
    std::mutex mutex;
    std::condition_variable changed;
    int ends = 0;
    for (int round = 1; round <= 40; ++round) {
        ASSERT_EQ(keep(lease, midiPlaybackPrepare(
                                  midi.playback(), &song,
                                  [&](std::uint32_t) {
                                      std::lock_guard lock(mutex);
                                      ++ends;
                                      changed.notify_all();
                                  },
                                  false, round % 2 == 0)),
                  MidiResult::kOk);
        ASSERT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kOk);
        std::unique_lock lock(mutex);
        ASSERT_TRUE(
            changed.wait_for(lock, std::chrono::seconds(20), [&] { return ends == round; }));
        lock.unlock();
        // The owner's stop, on its own thread, after the end.
        EXPECT_TRUE(lease.held());
        ASSERT_EQ(midiPlaybackStop(midi.playback()), MidiResult::kOk);
        ASSERT_EQ(midiCloseStream(midi.playback()), MidiResult::kOk);
    }
}

TEST_F(PlaybackThreads, OwnerStoppingInsideItsEndNotificationDoesNotDeadlock) {
    auto log = installRecorder(midi, std::make_shared<VirtualMidiClock>());
    MidiSong song = busySong(3);
    std::atomic<int> ends{0};
    for (int round = 1; round <= 20; ++round) {
        ASSERT_EQ(keep(lease, midiPlaybackPrepare(
                                  midi.playback(), &song,
                                  [&](std::uint32_t) {
                                      static_cast<void>(midiPlaybackStop(midi.playback()));
                                      static_cast<void>(midiCloseStream(midi.playback()));
                                      ++ends;
                                  },
                                  false, false)),
                  MidiResult::kOk);
        ASSERT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kOk);
        ASSERT_TRUE(waitFor([&] { return ends == round; }));
        EXPECT_FALSE(midiPlaybackIsPlaying(midi.playback()));
    }
}

TEST_F(PlaybackThreads, TakeOverStormLeavesOnlyTheLastLeaseHolding) {
    auto log = installRecorder(midi, std::make_shared<VirtualMidiClock>());
    MidiSong blockSong = busySong(32);
    MidiSong pieceSong = busySong(48);
    PlaybackLease blockLease, pieceLease;
    for (int i = 0; i < 40; ++i) {
        const bool block = i % 2 == 0;
        MidiSong& song = block ? blockSong : pieceSong;
        PlaybackLease& mine = block ? blockLease : pieceLease;
        PlaybackLease& other = block ? pieceLease : blockLease;
        ASSERT_EQ(keep(mine, midiPlaybackPrepare(midi.playback(), &song, nullptr, true, false)),
                  MidiResult::kOk);
        EXPECT_FALSE(other.held()) << i;
        ASSERT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kOk);
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        // A stale lease going (its page stopping late) stops nothing.
        other.release();
        EXPECT_TRUE(midiPlaybackIsPlaying(midi.playback())) << i;
    }
    ASSERT_EQ(midiPlaybackStop(midi.playback()), MidiResult::kOk);
    EXPECT_TRUE(balanced(log->messages()));
}

}  // namespace
}  // namespace halvorn::test

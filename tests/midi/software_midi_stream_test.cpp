// The software stream: timing from absolute ticks, buffer order, pause,
// close, and what it refuses.

#include "midi/software_midi_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <mutex>
#include <thread>

#include "midi/midi_song.h"
#include "tests/support/recording_output.h"
#include "tests/support/wait_for.h"

namespace halvorn::test {
namespace {

using std::chrono::nanoseconds;

struct DoneLog {
    std::mutex mutex;
    std::vector<std::uint32_t> userWords;
    std::vector<std::thread::id> threads;
    std::vector<std::size_t> messagesAtDone;

    std::size_t count() {
        std::lock_guard lock(mutex);
        return userWords.size();
    }
};

class SoftwareStream : public ::testing::Test {
  protected:
    std::unique_ptr<SoftwareMidiStream> open(std::shared_ptr<MidiClock> clock) {
        clock_ = clock;
        return std::make_unique<SoftwareMidiStream>(
            std::make_unique<RecordingOutput>(messages, clock), clock,
            [this](MidiStreamBuffer&& buffer) {
                std::lock_guard lock(done.mutex);
                done.userWords.push_back(buffer.userWord);
                done.threads.push_back(std::this_thread::get_id());
                done.messagesAtDone.push_back(messages->size());
            });
    }

    static MidiStreamBuffer buffer(std::vector<MidiStreamRecord> records, std::uint32_t user = 0) {
        MidiStreamBuffer b;
        for (const auto& r : records) midiStreamAppendRecord(b, r);
        b.userWord = user;
        return b;
    }

    MidiResult queue(MidiStream& stream, MidiStreamBuffer b) {
        if (const MidiResult r = stream.prepare(b); r != MidiResult::kOk) return r;
        return stream.queue(b);
    }

    std::shared_ptr<MessageLog> messages = std::make_shared<MessageLog>();
    DoneLog done;
    std::shared_ptr<MidiClock> clock_;
};

TEST_F(SoftwareStream, TimesComeFromAbsoluteTicksWithoutDrift) {
    auto stream = open(std::make_shared<VirtualMidiClock>());
    ASSERT_EQ(stream->setTimeDivision(96), MidiResult::kOk);
    ASSERT_EQ(stream->setTempo(500000), MidiResult::kOk);
    std::vector<MidiStreamRecord> records(1000, MidiStreamRecord{1, 0, 0xF8});
    ASSERT_EQ(queue(*stream, buffer(records)), MidiResult::kOk);
    ASSERT_EQ(stream->restart(), MidiResult::kOk);
    ASSERT_TRUE(waitFor([&] { return done.count() == 1; }));
    const auto sent = messages->messages();
    ASSERT_EQ(sent.size(), 1000u);
    // 1000 ticks of 5208333.33 ns: summing truncated deltas would give
    // 5208333000.
    EXPECT_EQ(sent.back().due, nanoseconds(5208333333));
    EXPECT_EQ(sent[2].due, nanoseconds(3 * 500000000LL / 96));
    EXPECT_EQ(stream->positionTicks(), 1000u);
}

// The position between two records follows the clock and is the exact
// inverse of the times the records are played at.
TEST(StreamPosition, FollowsTheClockFromThePlayedTickUpToTheWaitingOne) {
    StreamPositionState state;
    state.ticksPerQuarter = 96;
    state.microsecondsPerQuarter = 500000;  // 5208333.33 ns a tick
    state.anchorTick = 40;
    state.anchorTime = nanoseconds(7);
    state.running = true;
    state.playedTick = 50;
    state.nextKnown = true;
    state.nextTick = 1000;
    for (std::uint64_t tick = 51; tick <= 1000; ++tick) {
        const nanoseconds at = streamTimeOfTick(state, tick);
        ASSERT_EQ(streamTickAt(state, at), tick);
        ASSERT_EQ(streamTickAt(state, at - nanoseconds(1)), tick - 1);
    }
    EXPECT_EQ(streamTickAt(state, nanoseconds(0)), 50u);           // never behind what has played
    EXPECT_EQ(streamTickAt(state, std::chrono::hours(1)), 1000u);  // nor ahead of what waits
    state.nextKnown = false;  // nothing more queued: the last message's tick
    EXPECT_EQ(streamTickAt(state, std::chrono::hours(1)), 50u);
    state.nextKnown = true;
    state.running = false;
    EXPECT_EQ(streamTickAt(state, std::chrono::hours(1)), 50u);
}

// One thread publishes states whose fields all derive from one counter;
// the reader must never see two counters mixed.
TEST(StreamPosition, ReadersNeverSeeHalfAnUpdate) {
    PublishedStreamPosition published;
    const auto stateOf = [](std::uint32_t n) {
        StreamPositionState state;
        state.playedTick = n;
        state.anchorTick = 2ull * n;
        state.anchorTime = nanoseconds(3ll * n);
        state.ticksPerQuarter = n + 1;
        state.microsecondsPerQuarter = n + 2;
        state.running = n % 2 == 0;
        state.nextKnown = n % 3 == 0;
        state.nextTick = 5ull * n;
        return state;
    };
    published.publish(stateOf(0));
    constexpr std::uint32_t kUpdates = 20000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (std::uint32_t n = 1; n <= kUpdates; ++n) published.publish(stateOf(n));
        done = true;
    });
    std::uint64_t last = 0;
    while (!done) {
        const StreamPositionState seen = published.read();
        ASSERT_EQ(seen, stateOf(static_cast<std::uint32_t>(seen.playedTick)));
        ASSERT_GE(seen.playedTick, last);
        last = seen.playedTick;
    }
    writer.join();
    EXPECT_EQ(published.read(), stateOf(kUpdates));
}

TEST_F(SoftwareStream, BuffersAreDoneInQueueOrderAfterTheirLastMessageOnAnotherThread) {
    auto stream = open(std::make_shared<VirtualMidiClock>());
    ASSERT_EQ(queue(*stream, buffer({{0, 0, 0x643C90}, {10, 0, 0x3C90}}, 7)), MidiResult::kOk);
    ASSERT_EQ(queue(*stream, buffer({{0, 0, kMidiStreamNoOperation}}, 3)), MidiResult::kOk);
    ASSERT_EQ(queue(*stream, buffer({{5, 0, 0xF8}}, 5)), MidiResult::kOk);
    EXPECT_EQ(messages->size(), 0u);  // a new stream waits for restart
    ASSERT_EQ(stream->restart(), MidiResult::kOk);
    ASSERT_TRUE(waitFor([&] { return done.count() == 3; }));
    std::lock_guard lock(done.mutex);
    EXPECT_EQ(done.userWords, (std::vector<std::uint32_t>{7, 3, 5}));
    // Reported only after its last message (the virtual clock may run ahead).
    EXPECT_GE(done.messagesAtDone[0], 2u);
    EXPECT_GE(done.messagesAtDone[2], 3u);
    EXPECT_NE(done.threads[0], std::this_thread::get_id());
    const auto sent = messages->messages();
    EXPECT_EQ(sent[2].due, nanoseconds(15LL * 500000000 / 96));
}

TEST_F(SoftwareStream, TempoChangeAppliesFromThePositionReached) {
    auto clock = std::make_shared<VirtualMidiClock>();
    auto stream = open(clock);
    ASSERT_EQ(stream->setTimeDivision(100), MidiResult::kOk);
    ASSERT_EQ(stream->setTempo(1000000), MidiResult::kOk);  // 10 ms a tick
    ASSERT_EQ(queue(*stream, buffer({{100, 0, 0xF8}})), MidiResult::kOk);
    ASSERT_EQ(stream->restart(), MidiResult::kOk);
    ASSERT_TRUE(waitFor([&] { return done.count() == 1; }));
    ASSERT_EQ(stream->setTempo(500000), MidiResult::kOk);  // 5 ms a tick from tick 100 on
    ASSERT_EQ(queue(*stream, buffer({{100, 0, 0xF8}})), MidiResult::kOk);
    ASSERT_TRUE(waitFor([&] { return done.count() == 2; }));
    const auto sent = messages->messages();
    EXPECT_EQ(sent[0].due, nanoseconds(1000000000));
    EXPECT_EQ(sent[1].due, nanoseconds(1500000000));
}

TEST_F(SoftwareStream, PauseSilencesSoundingNotesAndResumeShiftsLaterTimes) {
    auto stream = open(std::make_shared<SteadyMidiClock>());
    ASSERT_EQ(stream->setTimeDivision(100), MidiResult::kOk);
    ASSERT_EQ(stream->setTempo(1000000), MidiResult::kOk);  // 10 ms a tick
    ASSERT_EQ(queue(*stream, buffer({{0, 0, 0x643C90}, {30, 0, 0x3C90}})), MidiResult::kOk);
    ASSERT_EQ(stream->restart(), MidiResult::kOk);
    ASSERT_TRUE(waitFor([&] { return messages->size() == 1; }));
    ASSERT_EQ(stream->pause(), MidiResult::kOk);
    ASSERT_TRUE(waitFor([&] { return messages->size() == 2; }));
    EXPECT_EQ(messages->messages()[1].message, 0x3C90u);  // velocity 0 at pause
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(messages->size(), 2u);
    ASSERT_EQ(stream->restart(), MidiResult::kOk);
    ASSERT_TRUE(waitFor([&] { return done.count() == 1; }));
    const auto sent = messages->messages();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_GE(sent[2].due - sent[0].due, std::chrono::milliseconds(300 + 400));
}

TEST_F(SoftwareStream, CloseSilencesNotesAndHandsBackUnplayedBuffers) {
    auto stream = open(std::make_shared<SteadyMidiClock>());
    ASSERT_EQ(stream->setTimeDivision(1), MidiResult::kOk);
    ASSERT_EQ(stream->setTempo(10000000), MidiResult::kOk);  // ten seconds a tick
    ASSERT_EQ(queue(*stream, buffer({{0, 0, 0x643C91}, {0, 0, 0x643C91}, {1, 0, 0x3C91}}, 1)),
              MidiResult::kOk);
    ASSERT_EQ(queue(*stream, buffer({{1, 0, 0x3C91}}, 2)), MidiResult::kOk);
    ASSERT_EQ(stream->restart(), MidiResult::kOk);
    ASSERT_TRUE(waitFor([&] { return messages->size() == 2; }));
    ASSERT_EQ(stream->close(), MidiResult::kOk);
    const auto sent = messages->messages();
    ASSERT_EQ(sent.size(), 4u);  // both stacked notes end
    EXPECT_EQ(sent[2].message, 0x3C91u);
    EXPECT_EQ(sent[3].message, 0x3C91u);
    std::lock_guard lock(done.mutex);
    EXPECT_EQ(done.userWords, (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(stream->close(), MidiResult::kOk);
}

// Stands in for the sleep of a busy machine: it always wakes 60 us late.
void oversleep(const WakeSignal&, std::uint32_t, nanoseconds until) {
    const nanoseconds late = until + std::chrono::microseconds(60);
    while (std::chrono::steady_clock::now().time_since_epoch() < late) {
    }
}

TEST_F(SoftwareStream, FinalSpinSendsOnTimeThoughTheSleepWakesLate) {
    auto stream = open(std::make_shared<SteadyMidiClock>(&oversleep));
    ASSERT_EQ(stream->setTimeDivision(100), MidiResult::kOk);
    ASSERT_EQ(stream->setTempo(300000), MidiResult::kOk);  // 3 ms a tick
    ASSERT_EQ(queue(*stream, buffer(std::vector<MidiStreamRecord>(40, {1, 0, 0xF8}))),
              MidiResult::kOk);
    ASSERT_EQ(stream->restart(), MidiResult::kOk);
    ASSERT_TRUE(waitFor([&] { return done.count() == 1; }));
    std::vector<nanoseconds> late;
    for (const RecordedMessage& m : messages->messages()) {
        EXPECT_GE(m.sent, m.due);  // never early
        late.push_back(m.sent - m.due);
    }
    ASSERT_EQ(late.size(), 40u);
    std::sort(late.begin(), late.end());
    // The sleep ends 100 us before the deadline and the spin covers its
    // lateness; sleeping right up to the deadline would leave 60 us late.
    EXPECT_LT(late[late.size() / 2], std::chrono::microseconds(30));
}

TEST_F(SoftwareStream, RefusesMalformedBuffersAndWorkAfterClose) {
    auto stream = open(std::make_shared<VirtualMidiClock>());
    MidiStreamBuffer empty;
    EXPECT_EQ(stream->prepare(empty), MidiResult::kDeviceError);
    MidiStreamBuffer partial = buffer({{0, 0, 0xF8}});
    partial.bytes.pop_back();
    EXPECT_EQ(stream->prepare(partial), MidiResult::kDeviceError);
    MidiStreamBuffer otherStream = buffer({{0, 1, 0xF8}});
    EXPECT_EQ(stream->prepare(otherStream), MidiResult::kDeviceError);
    MidiStreamBuffer longMessage = buffer({{0, 0, 0x80000000}});
    EXPECT_EQ(stream->prepare(longMessage), MidiResult::kDeviceError);
    MidiStreamBuffer unprepared = buffer({{0, 0, 0xF8}});
    EXPECT_EQ(stream->queue(unprepared), MidiResult::kDeviceError);
    EXPECT_EQ(stream->setTimeDivision(0), MidiResult::kDeviceError);
    EXPECT_EQ(stream->setTempo(0), MidiResult::kDeviceError);

    ASSERT_EQ(stream->close(), MidiResult::kOk);
    MidiStreamBuffer late = buffer({{0, 0, 0xF8}});
    ASSERT_EQ(stream->prepare(late), MidiResult::kOk);
    EXPECT_EQ(stream->queue(late), MidiResult::kDeviceError);
    EXPECT_FALSE(late.bytes.empty());  // left with the caller
    EXPECT_EQ(stream->restart(), MidiResult::kDeviceError);
    EXPECT_EQ(stream->pause(), MidiResult::kDeviceError);
}

// At most kMaxBuffersInFlight buffers are out at once, counting those played
// and waiting to be handed back: one more is refused and stays with the
// caller.
TEST_F(SoftwareStream, RefusesOneBufferMoreThanMayBeInFlight) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> handedBack{0};
    std::atomic<bool> ownerBusy{false};
    auto clock = std::make_shared<VirtualMidiClock>();
    SoftwareMidiStream stream(std::make_unique<RecordingOutput>(messages, clock), clock,
                              [&](MidiStreamBuffer&&) {
                                  ownerBusy = true;
                                  released.wait();
                                  ++handedBack;
                              });
    ASSERT_EQ(stream.setTimeDivision(96), MidiResult::kOk);
    ASSERT_EQ(stream.restart(), MidiResult::kOk);
    // The first buffer's owner takes its time; meanwhile eight more play
    // and wait to be handed back.
    ASSERT_EQ(queue(stream, buffer({{0, 0, 0xF8}}, 0)), MidiResult::kOk);
    ASSERT_TRUE(waitFor([&] { return ownerBusy.load(); }));
    for (std::uint32_t i = 1; i <= kMaxBuffersInFlight; ++i)
        ASSERT_EQ(queue(stream, buffer({{0, 0, 0xF8}}, i)), MidiResult::kOk) << i;
    ASSERT_TRUE(waitFor([&] { return messages->size() == kMaxBuffersInFlight + 1; }));
    MidiStreamBuffer extra = buffer({{0, 0, 0xF8}}, 99);
    ASSERT_EQ(stream.prepare(extra), MidiResult::kOk);
    EXPECT_EQ(stream.queue(extra), MidiResult::kDeviceError);
    EXPECT_FALSE(extra.bytes.empty());

    release.set_value();
    ASSERT_TRUE(waitFor([&] { return handedBack == int{kMaxBuffersInFlight} + 1; }));
    EXPECT_EQ(stream.queue(extra), MidiResult::kOk);
    ASSERT_EQ(stream.close(), MidiResult::kOk);
}

}  // namespace
}  // namespace halvorn::test

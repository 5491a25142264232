// Playback following a MIDI clock master: the real playback and software
// stream, a recorder on the virtual clock, and the master's messages fed in
// lock step. After each clock the test waits until everything up to the
// follower's horizon has been sent, so what is measured (the times the
// notes were scheduled for) does not depend on the machine's speed.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "midi/midi_clock_follower.h"
#include "tests/support/playback_test_support.h"
#include "tests/support/wait_for.h"

namespace halvorn::test {
namespace {

using std::chrono::nanoseconds;

constexpr std::uint8_t kClock = 0xF8, kStart = 0xFA, kContinue = 0xFB, kStop = 0xFC,
                       kPosition = 0xF2;
constexpr std::uint16_t kPpqn = 96;
constexpr std::uint32_t kTicksPerClock = kPpqn / 24;

class GivenClockSources final : public ClockSourceProvider {
  public:
    explicit GivenClockSources(std::shared_ptr<ClockSource> source) : source_(std::move(source)) {}
    std::vector<std::string> inputPortNames() override { return {"Master"}; }
    Expected<std::shared_ptr<ClockSource>, Error> open(const SyncSetting&,
                                                       const ClockSourceSong&) override {
        return source_;
    }

  private:
    std::shared_ptr<ClockSource> source_;
};

// Every sixteenth a note, a tick shorter than a sixteenth, over `bars` bars.
MidiSong sixteenths(int bars) {
    std::vector<MidiEvent> events;
    for (std::uint32_t tick = 0; tick < static_cast<std::uint32_t>(bars) * 4 * kPpqn;
         tick += kPpqn / 4) {
        const auto key = static_cast<std::uint8_t>(48 + tick / (kPpqn / 4) % 24);
        events.push_back(noteOn(tick, key));
        events.push_back(noteOff(tick + kPpqn / 4 - 1, key));
    }
    return makeSong({events}, kPpqn, 120.0);
}

bool isNoteOn(const RecordedMessage& m) {
    return (midiMessageStatus(m.message) & 0xF0) == 0x90 && midiMessageData2(m.message) > 0;
}

nanoseconds clockTime(std::uint32_t clock) {
    return nanoseconds(1'000'000'000LL + clock * 20'833'333LL);  // 120 BPM
}

class PlaybackFollow : public ::testing::Test {
  protected:
    void SetUp() override {
        log = installRecorder(midi, std::make_shared<VirtualMidiClock>());
        midi.clockSources = std::make_shared<GivenClockSources>(follower);
        midi.settings.sync = {SyncKind::kMidiClock, "Master", false};
    }
    void play(MidiSong& song) {
        song_ = &song;
        ASSERT_EQ(keep(lease, midiPlaybackPrepare(midi.playback(), &song, nullptr, false, true)),
                  MidiResult::kOk);
        ASSERT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kOk);
    }
    // The song's notes from tick `from` up to and including `to`.
    std::size_t notesBetween(std::uint32_t from, std::uint32_t to) const {
        std::size_t count = 0;
        for (const MidiEvent& e : mergedEvents(*song_))
            count += e.data2 > 0 && e.time >= from && e.time <= to;
        return count;
    }
    std::size_t notesSent() const {
        const auto sent = log->messages();
        return static_cast<std::size_t>(std::count_if(sent.begin(), sent.end(), isNoteOn));
    }
    // Sends clock `k` (counted from the position played from) at `at` and
    // waits until `notes` notes have been sent: those up to the follower's
    // horizon, two clocks on.
    void clock(nanoseconds at, std::size_t notes) {
        follower->receive(kClock, 0, 0, at);
        ASSERT_TRUE(waitFor([&] { return notesSent() >= notes; })) << notesSent();
    }

    MidiSystem midi;
    PlaybackLease lease;
    std::shared_ptr<MidiClockFollower> follower = std::make_shared<MidiClockFollower>(120.0);
    std::shared_ptr<MessageLog> log;
    const MidiSong* song_ = nullptr;
};

TEST_F(PlaybackFollow, JitteredClockPlacesEveryNoteOnTheGridOnceAndInOrder) {
    MidiSong song = sixteenths(8);
    play(song);
    const double clockMs = 500.0 / 24;
    const double firstMs = 1000.0;
    std::mt19937 random(11);
    std::uniform_real_distribution<double> jitter(-1.0, 1.0);
    follower->receive(kStart, 0, 0, nanoseconds(900'000'000));
    const std::uint32_t clocks = 8 * 4 * 24;
    for (std::uint32_t k = 0; k < clocks; ++k) {
        const double at = firstMs + k * clockMs + jitter(random);
        clock(nanoseconds(static_cast<long long>(at * 1e6)),
              notesBetween(0, (k + 2) * kTicksPerClock));
        if (HasFatalFailure()) return;
        if (k == 0) {
            // Start: the first note sounds with the first clock after it.
            EXPECT_EQ(log->messages()[0].due, nanoseconds(static_cast<long long>(at * 1e6)));
        }
    }
    std::vector<MidiEvent> expected = mergedEvents(song);
    ASSERT_TRUE(waitFor([&] { return log->size() == expected.size(); }));
    const auto sent = log->messages();
    std::vector<double> errors;
    double sum = 0;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const MidiEvent& e = expected[i];
        ASSERT_EQ(sent[i].message, midiPackShortMessage(e.status, e.data1, e.data2)) << i;
        if (i > 0) {
            ASSERT_GE(sent[i].due, sent[i - 1].due) << i;
        }
        if (!isNoteOn(sent[i])) continue;
        const double ideal = firstMs + e.time / static_cast<double>(kTicksPerClock) * clockMs;
        const double error = sent[i].due.count() / 1e6 - ideal;
        errors.push_back(std::fabs(error));
        sum += error;
    }
    std::sort(errors.begin(), errors.end());
    EXPECT_LE(errors[errors.size() * 99 / 100], 1.5);
    EXPECT_LE(std::fabs(sum / errors.size()), 0.2);
    EXPECT_NEAR(*midiPlaybackFollowedTempo(midi.playback()), 120.0, 0.5);
}

TEST_F(PlaybackFollow, StopSilencesAndSongPositionWithContinueResumesAtTheSixteenth) {
    MidiSong song = sixteenths(4);
    play(song);
    follower->receive(kStart, 0, 0, clockTime(0) - nanoseconds(1000));
    std::uint32_t k = 0;
    for (; k < 30; ++k) clock(clockTime(k), notesBetween(0, (k + 2) * kTicksPerClock));
    follower->receive(kStop, 0, 0, clockTime(k));
    ASSERT_TRUE(waitFor([&] { return soundingNotes(log->messages()).empty(); }));
    const std::size_t before = notesSent();

    // Song position 20 (beat 5) while stopped, then Continue: the
    // arrangement display shows the new position at once.
    follower->receive(kPosition, 20, 0, clockTime(k));
    follower->receive(kContinue, 0, 0, clockTime(k));
    ASSERT_TRUE(waitFor([&] {
        const auto position = midiPlaybackPositionTicks(midi.playback());
        return position && *position == 5 * kPpqn;
    }));
    const nanoseconds resumed = clockTime(k + 10);
    clock(resumed, before + 1);
    const auto sent = log->messages();
    std::size_t seen = 0;
    const auto first = std::find_if(sent.begin(), sent.end(), [&](const RecordedMessage& m) {
        return isNoteOn(m) && ++seen > before;
    });
    ASSERT_NE(first, sent.end());
    EXPECT_EQ(first->message, midiPackShortMessage(0x90, 48 + 20 % 24, 100));
    EXPECT_EQ(first->due, resumed);
}

TEST_F(PlaybackFollow, ClocksStoppingHoldWithNotesSilencedAndComingBackGoesOn) {
    MidiSong song = sixteenths(4);
    play(song);
    follower->receive(kStart, 0, 0, clockTime(0) - nanoseconds(1000));
    std::uint32_t k = 0;
    for (; k < 27; ++k) clock(clockTime(k), notesBetween(0, (k + 2) * kTicksPerClock));
    follower->idle(*follower->idleDeadline());
    ASSERT_TRUE(waitFor([&] { return soundingNotes(log->messages()).empty(); }));
    // Back five seconds later: on from the clocks counted, nothing doubled.
    const nanoseconds back = clockTime(k) + std::chrono::seconds(5);
    for (std::uint32_t i = 0; i < 24; ++i, ++k)
        clock(back + (clockTime(i) - clockTime(0)), notesBetween(0, (k + 2) * kTicksPerClock));
    std::vector<MidiShortMessage> notes;
    nanoseconds firstBack{0};
    for (const auto& m : log->messages()) {
        if (!isNoteOn(m)) continue;
        notes.push_back(m.message);
        if (firstBack.count() == 0 && m.due >= back) firstBack = m.due;
    }
    std::vector<MidiShortMessage> expected;
    for (const MidiEvent& e : mergedEvents(song))
        if (e.data2 > 0 && expected.size() < notes.size())
            expected.push_back(midiPackShortMessage(e.status, e.data1, e.data2));
    EXPECT_EQ(notes, expected);
    EXPECT_EQ(notes.size(), notesBetween(0, (k + 1) * kTicksPerClock));
    // The first note after the break (clock 30) three clocks after it came back.
    EXPECT_NEAR((firstBack - back).count() / 1e6, 3 * 500.0 / 24, 1.5);
}

}  // namespace
}  // namespace halvorn::test

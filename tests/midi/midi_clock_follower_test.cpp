// Following MIDI clock, without a stream: the loop's tempo and the
// transport a master's messages make.

#include "midi/midi_clock_follower.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace halvorn::test {
namespace {

using std::chrono::nanoseconds;

constexpr std::uint8_t kClock = 0xF8, kStart = 0xFA, kContinue = 0xFB, kStop = 0xFC,
                       kPosition = 0xF2;

nanoseconds ms(double value) {
    return nanoseconds(static_cast<long long>(value * 1e6));
}

std::vector<TransportCommand> commandsOf(ClockSource& source) {
    std::vector<TransportCommand> commands;
    while (auto command = source.nextCommand(std::chrono::steady_clock::now()))
        commands.push_back(*command);
    return commands;
}

// A master's clock at `tempo` with +-1 ms of uniform jitter.
class JitteredMaster {
  public:
    explicit JitteredMaster(MidiClockFollower& follower, unsigned seed = 7)
        : follower_(follower), random_(seed) {}
    void clocks(int count, double tempo) {
        for (int i = 0; i < count; ++i) {
            follower_.receive(kClock, 0, 0, ms(time_ + jitter_(random_)));
            time_ += 60000.0 / tempo / 24.0;
        }
    }
    void send(std::uint8_t status, std::uint8_t d1 = 0, std::uint8_t d2 = 0) {
        follower_.receive(status, d1, d2, ms(time_));
    }
    double time() const { return time_; }

  private:
    MidiClockFollower& follower_;
    std::mt19937 random_;
    std::uniform_real_distribution<double> jitter_{-1.0, 1.0};
    double time_ = 1000.0;  // ms
};

TEST(MidiClockFollower, TempoStepSettlesWithinTwoBeatsWhateverTheJitter) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        MidiClockFollower follower(100.0);
        JitteredMaster master(follower, seed);
        master.clocks(24 * 8, 120.0);
        EXPECT_NEAR(*follower.tempo(), 120.0, 0.5) << seed;
        master.clocks(48, 140.0);  // two beats after the step
        EXPECT_NEAR(*follower.tempo(), 140.0, 0.5) << seed;
        for (int beat = 0; beat < 8; ++beat) {
            master.clocks(24, 140.0);
            EXPECT_NEAR(*follower.tempo(), 140.0, 0.5) << seed << " beat " << beat;
        }
    }
}

TEST(MidiClockFollower, StartArmsAndTheFirstClockSoundsBeatZeroAtItsOwnTime) {
    MidiClockFollower follower;
    JitteredMaster master(follower);
    master.clocks(30, 120.0);  // a master's clock runs while it is stopped
    EXPECT_FALSE(follower.timeline()->read().rolling);
    EXPECT_TRUE(commandsOf(follower).empty());
    master.send(kStart);
    EXPECT_EQ(commandsOf(follower),
              (std::vector<TransportCommand>{{TransportKind::kStart, 0.0, 1}}));
    EXPECT_FALSE(follower.timeline()->read().rolling);  // nothing before the first clock
    const nanoseconds first = ms(master.time() + 0.4);
    follower.receive(kClock, 0, 0, first);
    const TimelineSnapshot snapshot = follower.timeline()->read();
    EXPECT_EQ(timelineTimeOfBeat(snapshot, 0.0), first);
    // Two clocks ahead at most: the next clocks are predicted, no further.
    EXPECT_TRUE(timelineTimeOfBeat(snapshot, 2.0 / 24));
    EXPECT_FALSE(timelineTimeOfBeat(snapshot, 2.5 / 24));
}

TEST(MidiClockFollower, StopContinueAndSongPositionMoveTheTransport) {
    MidiClockFollower follower;
    JitteredMaster master(follower);
    master.send(kStart);
    master.clocks(50, 120.0);
    master.send(kStop);
    EXPECT_FALSE(follower.timeline()->read().rolling);
    EXPECT_EQ(follower.nextClock(), 50);
    master.send(kContinue);
    master.clocks(1, 120.0);
    EXPECT_EQ(follower.timeline()->read().anchorBeat, 50.0 / 24);  // on from where it stopped
    master.send(kStop);
    master.send(kPosition, 0x21, 0x01);  // 0x21 + 128 = 161 sixteenths
    EXPECT_EQ(follower.nextClock(), 161 * 6);
    master.send(kContinue);
    master.clocks(1, 120.0);
    EXPECT_EQ(follower.timeline()->read().anchorBeat, 161 / 4.0);
    // Each jump of the position (Start, Song Position) opens a new epoch.
    EXPECT_EQ(commandsOf(follower),
              (std::vector<TransportCommand>{{TransportKind::kStart, 0.0, 1},
                                             {TransportKind::kStop, 0.0, 1},
                                             {TransportKind::kContinue, 0.0, 1},
                                             {TransportKind::kStop, 0.0, 1},
                                             {TransportKind::kLocate, 40.25, 2},
                                             {TransportKind::kContinue, 0.0, 2}}));
}

TEST(MidiClockFollower, ClocksThatStopForTwoBeatsHoldUntilTheyComeBack) {
    MidiClockFollower follower;
    JitteredMaster master(follower);
    master.send(kStart);
    master.clocks(24, 120.0);
    commandsOf(follower);
    const nanoseconds deadline = *follower.idleDeadline();
    follower.idle(deadline - ms(1));
    EXPECT_TRUE(follower.timeline()->read().rolling);
    follower.idle(deadline);
    EXPECT_FALSE(follower.timeline()->read().rolling);
    EXPECT_EQ(commandsOf(follower),
              (std::vector<TransportCommand>{{TransportKind::kStop, 0.0, 1}}));
    EXPECT_FALSE(follower.idleDeadline());
    // The clock comes back after a long silence: the position goes on from
    // the clocks counted, at the new clock's own time.
    const nanoseconds back = deadline + ms(3000);
    follower.receive(kClock, 0, 0, back);
    EXPECT_EQ(commandsOf(follower),
              (std::vector<TransportCommand>{{TransportKind::kContinue, 0.0, 1}}));
    EXPECT_EQ(timelineTimeOfBeat(follower.timeline()->read(), 1.0), back);
}

// 64 bars at 120 BPM: the position is the clocks counted, to the tick.
TEST(MidiClockFollower, SixtyFourBarsDoNotDrift) {
    MidiClockFollower follower;
    JitteredMaster master(follower);
    master.send(kStart);
    master.clocks(64 * 4 * 24, 120.0);
    const TimelineSnapshot snapshot = follower.timeline()->read();
    EXPECT_EQ(snapshot.anchorBeat, 256.0);  // the next clock's beat, exactly
    EXPECT_EQ(follower.nextClock(), 64 * 4 * 24);
    EXPECT_NEAR(timelineTempo(snapshot), 120.0, 0.5);
}

}  // namespace
}  // namespace halvorn::test

#pragma once
// Follows MIDI clock from one input port: 24 clocks (0xF8) a quarter note
// through a delay-locked loop, Start (0xFA) from the beginning with the
// first note on the first clock after it, Continue (0xFB) from where Stop
// (0xFC) left it, Song Position Pointer (0xF2) to a sixteenth. Clocks that
// stop for more than two beats while rolling hold playback, every note
// silenced, until they come back.
//
// The input backend feeds it the realtime messages with the times the
// backend stamped them with (ALSA sequencer queue time, JACK frame time),
// never the time a thread happened to wake, and calls idle() now and then
// so that it notices clocks that stopped. All of it from one thread.

#include <chrono>
#include <cstdint>

#include "midi/clock_dll.h"
#include "midi/clock_source.h"

namespace halvorn {

class MidiClockFollower : public ClockSource {
  public:
    // `tempo`: assumed until the first two clocks tell the real one.
    explicit MidiClockFollower(double tempo = 120.0);

    // One message from the port; every other than the five above is
    // ignored. `at` on the steady clock.
    void receive(std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                 std::chrono::nanoseconds at);
    // Holds a playback whose clocks have stopped for two beats by `now`.
    void idle(std::chrono::nanoseconds now);
    // When idle() next has something to look at: two beats after the last
    // clock while rolling; nothing otherwise.
    std::optional<std::chrono::nanoseconds> idleDeadline() const;

    // Clocks received since the last Start, and the position (in clocks)
    // the next one stands for.
    std::int64_t nextClock() const { return nextClock_; }

  private:
    enum class State : std::uint8_t { kStopped, kArmed, kRolling, kHeld };

    void clock(std::chrono::nanoseconds at);
    void publishStopped();
    double nanosecondsPerBeat() const;

    ClockDll dll_;
    double assumedPeriod_;
    State state_ = State::kStopped;
    std::int64_t nextClock_ = 0;
    std::uint32_t epoch_ = 0;  // of the position: a Start or a Song Position moves it
    std::chrono::nanoseconds lastClock_{0};
    bool heardClock_ = false;
};

}  // namespace halvorn

#pragma once
// The clock a software MIDI stream schedules by: the real steady clock, or a
// virtual clock that jumps to each deadline so work runs as fast as it can.

#include <atomic>
#include <chrono>
#include <cstdint>

#include "midi/wake_signal.h"

namespace halvorn {

class MidiClock {
  public:
    virtual ~MidiClock() = default;

    // Time since the clock's epoch.
    virtual std::chrono::nanoseconds now() const = 0;

    // Waits until `deadline` has come or `wake` has moved past `seen`,
    // whichever is first. Spurious returns are allowed: callers re-check
    // their state and call again. Takes no lock and allocates nothing.
    virtual void waitUntil(const WakeSignal& wake, std::uint32_t seen,
                           std::chrono::nanoseconds deadline) = 0;

    // Waits, with no deadline, until `wake` has moved past `seen`.
    virtual void waitForWake(const WakeSignal& wake, std::uint32_t seen) { wake.wait(seen); }

    // True when waiting takes real time, so a scheduler thread should ask
    // for a real-time priority.
    virtual bool isRealTime() const = 0;
};

// The system's steady clock. Sleeps to an absolute time a little before the
// deadline and spins the last stretch, because a sleeping thread wakes late
// (tens of microseconds on a quiet machine). The spun stretch is at most
// kFinalSpin, so the spin never takes a core away for long.
class SteadyMidiClock final : public MidiClock {
  public:
    static constexpr std::chrono::nanoseconds kFinalSpin = std::chrono::microseconds(100);

    // The absolute-deadline sleep; replaceable so that tests can make it
    // wake late on purpose.
    using SleepFunction = void (*)(const WakeSignal& wake, std::uint32_t seen,
                                   std::chrono::nanoseconds until);

    explicit SteadyMidiClock(SleepFunction sleep = &sleepOnSignal) : sleep_(sleep) {}

    std::chrono::nanoseconds now() const override;
    void waitUntil(const WakeSignal& wake, std::uint32_t seen,
                   std::chrono::nanoseconds deadline) override;
    bool isRealTime() const override { return true; }

    static void sleepOnSignal(const WakeSignal& wake, std::uint32_t seen,
                              std::chrono::nanoseconds until);

  private:
    SleepFunction sleep_;
};

// Time moves only when a waiter asks for a later deadline; it starts at 0.
class VirtualMidiClock final : public MidiClock {
  public:
    std::chrono::nanoseconds now() const override;
    void waitUntil(const WakeSignal& wake, std::uint32_t seen,
                   std::chrono::nanoseconds deadline) override;
    bool isRealTime() const override { return false; }

  private:
    std::atomic<std::chrono::nanoseconds::rep> now_{0};
};

}  // namespace halvorn

#pragma once
// The clock a software MIDI stream schedules by: the real steady clock, or a
// virtual clock that jumps to each deadline so work runs as fast as it can.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace halvorn {

class MidiClock {
  public:
    virtual ~MidiClock() = default;

    // Time since the clock's epoch.
    virtual std::chrono::nanoseconds now() const = 0;

    // Waits until `deadline` has come or `wake` is notified, whichever is
    // first (spurious returns allowed: callers re-check their state). `lock`
    // is held on entry and on return.
    virtual void waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                           std::chrono::nanoseconds deadline) = 0;

    // True when waiting takes real time, so a scheduler thread should ask
    // for a real-time priority.
    virtual bool isRealTime() const = 0;
};

// The system's steady clock. Sleeps to absolute deadlines; the last stretch
// before a deadline is spun (without holding the lock) because a sleeping
// thread wakes late: tens of microseconds on a quiet machine, now and then a
// millisecond or two on a busy one. The spun stretch follows the lateness
// seen: it grows at once after a late wake-up and shrinks slowly after.
class SteadyMidiClock final : public MidiClock {
  public:
    static constexpr std::chrono::nanoseconds kMinSpin = std::chrono::microseconds(100);
    static constexpr std::chrono::nanoseconds kMaxSpin = std::chrono::microseconds(2500);

    std::chrono::nanoseconds now() const override;
    void waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                   std::chrono::nanoseconds deadline) override;
    bool isRealTime() const override { return true; }

    std::chrono::nanoseconds spinMargin() const { return std::chrono::nanoseconds(spin_.load()); }

  private:
    void learnWakeLateness(std::chrono::nanoseconds late);

    std::atomic<std::chrono::nanoseconds::rep> spin_{200000};  // starts at 200 us
};

// Time moves only when a waiter asks for a later deadline; it starts at 0.
class VirtualMidiClock final : public MidiClock {
  public:
    std::chrono::nanoseconds now() const override;
    void waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                   std::chrono::nanoseconds deadline) override;
    bool isRealTime() const override { return false; }

  private:
    std::atomic<std::chrono::nanoseconds::rep> now_{0};
};

}  // namespace halvorn

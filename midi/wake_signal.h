#pragma once
// A wake-up call between threads that shares no lock: a counter that the
// waker bumps, and a waiter that sleeps (to an absolute deadline on the
// steady clock, or without one) until the counter moves on. On Linux it is
// a futex, so neither side takes a lock another thread holds.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

namespace halvorn {

class WakeSignal {
  public:
    // Read before checking for work; wait() returns at once if a wake came
    // after this read.
    std::uint32_t sequence() const { return sequence_.load(std::memory_order_acquire); }

    // Wakes every waiter.
    void notify();

    // Sleeps while the sequence is still `seen`, at most until `deadline`
    // (time since the steady clock's epoch). Spurious returns are allowed:
    // callers re-check their state.
    void wait(std::uint32_t seen,
              std::optional<std::chrono::nanoseconds> deadline = std::nullopt) const;

  private:
    std::atomic<std::uint32_t> sequence_{0};
};

}  // namespace halvorn

#include "midi/wake_signal.h"

#include <climits>
#include <thread>

#if defined(__linux__)
#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>
#endif

namespace halvorn {

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t),
              "the futex word is the counter itself");

void WakeSignal::notify() {
    sequence_.fetch_add(1, std::memory_order_acq_rel);
#if defined(__linux__)
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&sequence_), FUTEX_WAKE_PRIVATE, INT_MAX,
            nullptr, nullptr, 0);
#endif
}

void WakeSignal::wait(std::uint32_t seen, std::optional<std::chrono::nanoseconds> deadline) const {
    if (sequence() != seen) return;
#if defined(__linux__)
    // FUTEX_WAIT_BITSET takes an absolute time on CLOCK_MONOTONIC, the
    // steady clock's own, so the sleep ends at the deadline however late
    // the call began.
    timespec until{};
    if (deadline) {
        until.tv_sec = static_cast<time_t>(deadline->count() / 1000000000);
        until.tv_nsec = static_cast<long>(deadline->count() % 1000000000);
    }
    syscall(SYS_futex,
            const_cast<std::uint32_t*>(reinterpret_cast<const std::uint32_t*>(&sequence_)),
            FUTEX_WAIT_BITSET_PRIVATE, seen, deadline ? &until : nullptr, nullptr,
            FUTEX_BITSET_MATCH_ANY);
#else
    // Elsewhere a short poll stands in for the futex.
    const auto step = std::chrono::milliseconds(1);
    if (deadline) {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        std::this_thread::sleep_for(std::min<std::chrono::nanoseconds>(*deadline - now, step));
    } else {
        std::this_thread::sleep_for(step);
    }
#endif
}

}  // namespace halvorn

#include "midi/midi_clock.h"

namespace halvorn {

using std::chrono::nanoseconds;
using std::chrono::steady_clock;

namespace {

// Tells the core that this is a busy-wait, so a sibling hyper-thread runs on.
inline void relaxCpu() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

}  // namespace

nanoseconds SteadyMidiClock::now() const {
    return std::chrono::duration_cast<nanoseconds>(steady_clock::now().time_since_epoch());
}

void SteadyMidiClock::sleepOnSignal(const WakeSignal& wake, std::uint32_t seen, nanoseconds until) {
    wake.wait(seen, until);
}

void SteadyMidiClock::waitUntil(const WakeSignal& wake, std::uint32_t seen, nanoseconds deadline) {
    const nanoseconds sleepUntil = deadline - kFinalSpin;
    if (now() < sleepUntil) {
        sleep_(wake, seen, sleepUntil);
        return;  // the caller comes back for the final stretch
    }
    while (now() < deadline && wake.sequence() == seen) relaxCpu();
}

nanoseconds VirtualMidiClock::now() const {
    return nanoseconds(now_.load());
}

void VirtualMidiClock::waitUntil(const WakeSignal&, std::uint32_t, nanoseconds deadline) {
    auto current = now_.load();
    while (current < deadline.count() && !now_.compare_exchange_weak(current, deadline.count())) {
    }
}

}  // namespace halvorn

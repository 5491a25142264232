#include "midi/midi_clock.h"

#include <algorithm>
#include <thread>

namespace halvorn {

using std::chrono::nanoseconds;
using std::chrono::steady_clock;

namespace {

// Headroom over the latest wake-up seen, and how slowly the spun stretch
// shrinks again (1/4096 of the excess per wake-up: about half a minute at a
// hundred wake-ups a second).
constexpr nanoseconds kSpinHeadroom = std::chrono::microseconds(100);
constexpr int kSpinDecayShift = 12;

}  // namespace

nanoseconds SteadyMidiClock::now() const {
    return std::chrono::duration_cast<nanoseconds>(steady_clock::now().time_since_epoch());
}

void SteadyMidiClock::waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                                nanoseconds deadline) {
    const nanoseconds sleepUntil = deadline - spinMargin();
    if (now() < sleepUntil) {
        wake.wait_until(lock, steady_clock::time_point(sleepUntil));
        const nanoseconds late = now() - sleepUntil;
        if (late.count() > 0) learnWakeLateness(late);  // woken by the timer
        return;
    }
    // Spin the last stretch with the lock released so other threads can
    // queue, pause or close meanwhile; the caller re-checks its state.
    lock.unlock();
    while (now() < deadline) std::this_thread::yield();
    lock.lock();
}

void SteadyMidiClock::learnWakeLateness(nanoseconds late) {
    const nanoseconds spin = spinMargin();
    nanoseconds next = spin;
    if (late + kSpinHeadroom > spin)
        next = std::min(kMaxSpin, late + late / 2 + kSpinHeadroom);
    else
        next = std::max(kMinSpin, spin - nanoseconds((spin - kMinSpin).count() >> kSpinDecayShift));
    spin_.store(next.count());
}

nanoseconds VirtualMidiClock::now() const {
    return nanoseconds(now_.load());
}

void VirtualMidiClock::waitUntil(std::unique_lock<std::mutex>&, std::condition_variable&,
                                 nanoseconds deadline) {
    auto current = now_.load();
    while (current < deadline.count() && !now_.compare_exchange_weak(current, deadline.count())) {
    }
}

}  // namespace halvorn

#include "midi/midi_clock.h"

#include <thread>

namespace halvorn {

using std::chrono::nanoseconds;
using std::chrono::steady_clock;

SteadyMidiClock::SteadyMidiClock(nanoseconds spinMargin) : spinMargin_(spinMargin) {}

nanoseconds SteadyMidiClock::now() const {
    return std::chrono::duration_cast<nanoseconds>(steady_clock::now().time_since_epoch());
}

void SteadyMidiClock::waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                                nanoseconds deadline) {
    const nanoseconds sleepUntil = deadline - spinMargin_;
    if (now() < sleepUntil) {
        wake.wait_until(lock, steady_clock::time_point(sleepUntil));
        return;
    }
    // Spin the last stretch with the lock released so other threads can
    // queue, pause or close meanwhile; the caller re-checks its state.
    lock.unlock();
    while (now() < deadline) std::this_thread::yield();
    lock.lock();
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

#include "midi/queued_clock_follower.h"

namespace halvorn {

using std::chrono::nanoseconds;

namespace {
// How often the worker looks, at most, when no clock is due to be missed.
constexpr nanoseconds kIdleLook = std::chrono::milliseconds(100);

nanoseconds steadyNow() {
    return std::chrono::duration_cast<nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}
}  // namespace

QueuedMidiClockFollower::QueuedMidiClockFollower(double tempo)
    : MidiClockFollower(tempo), worker_([this] { run(); }) {}

QueuedMidiClockFollower::~QueuedMidiClockFollower() {
    stopWorker();
}

void QueuedMidiClockFollower::stopWorker() {
    stopping_.store(true, std::memory_order_release);
    wake_.notify();
    if (worker_.joinable()) worker_.join();
}

bool QueuedMidiClockFollower::push(std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                                   nanoseconds at) {
    if (!ring_.push({status, data1, data2, at.count()})) return false;
    wake_.notify();
    return true;
}

void QueuedMidiClockFollower::run() {
    while (!stopping_.load(std::memory_order_acquire)) {
        const std::uint32_t seen = wake_.sequence();
        while (Message* m = ring_.front()) {
            receive(m->status, m->data1, m->data2, nanoseconds(m->at));
            ring_.pop();
        }
        idle(steadyNow());
        const nanoseconds look = steadyNow() + kIdleLook;
        const auto deadline = idleDeadline();
        wake_.wait(seen, deadline && *deadline < look ? *deadline : look);
    }
}

}  // namespace halvorn

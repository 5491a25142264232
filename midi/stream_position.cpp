#include "midi/stream_position.h"

#include <algorithm>
#include <thread>

namespace halvorn {

using std::chrono::nanoseconds;

namespace {

constexpr std::uint64_t kRunning = 1;
constexpr std::uint64_t kNextKnown = 2;

unsigned __int128 nanosecondsPerQuarter(const StreamPositionState& state) {
    return static_cast<unsigned __int128>(state.microsecondsPerQuarter) * 1000u;
}

}  // namespace

nanoseconds streamTimeOfTick(const StreamPositionState& state, std::uint64_t tick) {
    if (state.ticksPerQuarter == 0 || tick < state.anchorTick) return state.anchorTime;
    const unsigned __int128 ticks = tick - state.anchorTick;
    const unsigned __int128 ns = ticks * nanosecondsPerQuarter(state) / state.ticksPerQuarter;
    return state.anchorTime + nanoseconds(static_cast<std::int64_t>(ns));
}

// The largest t with streamTimeOfTick(t) <= now: floor(t k / q) <= e holds
// exactly while t k < (e + 1) q, k the nanoseconds and q the ticks of a
// quarter, e the time since the anchor.
std::uint64_t streamTickAt(const StreamPositionState& state, nanoseconds now) {
    if (!state.running || !state.nextKnown || state.nextTick <= state.playedTick)
        return state.playedTick;
    const unsigned __int128 perQuarter = nanosecondsPerQuarter(state);
    if (state.ticksPerQuarter == 0 || perQuarter == 0 || now < state.anchorTime)
        return state.playedTick;
    const auto elapsed = static_cast<unsigned __int128>((now - state.anchorTime).count());
    const unsigned __int128 ticks = ((elapsed + 1) * state.ticksPerQuarter - 1) / perQuarter;
    const unsigned __int128 tick = state.anchorTick + ticks;
    return static_cast<std::uint64_t>(
        std::clamp<unsigned __int128>(tick, state.playedTick, state.nextTick));
}

// The words are stored with release and loaded with acquire, so a reader
// that sees any word of an update also sees the odd sequence number stored
// before it, and tries again (no fences, which ThreadSanitizer cannot follow).
void PublishedStreamPosition::publish(const StreamPositionState& state) {
    const std::uint32_t sequence = sequence_.load(std::memory_order_relaxed);
    sequence_.store(sequence + 1, std::memory_order_relaxed);
    const std::array<std::uint64_t, kWords> words = {
        state.playedTick,
        state.anchorTick,
        static_cast<std::uint64_t>(state.anchorTime.count()),
        state.ticksPerQuarter | std::uint64_t{state.microsecondsPerQuarter} << 32,
        (state.running ? kRunning : 0) | (state.nextKnown ? kNextKnown : 0),
        state.nextTick};
    for (std::size_t i = 0; i < kWords; ++i) words_[i].store(words[i], std::memory_order_release);
    sequence_.store(sequence + 2, std::memory_order_release);
}

StreamPositionState PublishedStreamPosition::read() const {
    std::array<std::uint64_t, kWords> words{};
    for (;;) {
        const std::uint32_t before = sequence_.load(std::memory_order_acquire);
        if ((before & 1u) != 0) {
            std::this_thread::yield();  // the writer is in the middle of an update
            continue;
        }
        for (std::size_t i = 0; i < kWords; ++i)
            words[i] = words_[i].load(std::memory_order_acquire);
        if (sequence_.load(std::memory_order_relaxed) == before) break;
    }
    StreamPositionState state;
    state.playedTick = words[0];
    state.anchorTick = words[1];
    state.anchorTime = nanoseconds(static_cast<std::int64_t>(words[2]));
    state.ticksPerQuarter = static_cast<std::uint32_t>(words[3]);
    state.microsecondsPerQuarter = static_cast<std::uint32_t>(words[3] >> 32);
    state.running = (words[4] & kRunning) != 0;
    state.nextKnown = (words[4] & kNextKnown) != 0;
    state.nextTick = words[5];
    return state;
}

}  // namespace halvorn

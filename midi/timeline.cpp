#include "midi/timeline.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <thread>

namespace halvorn {

using std::chrono::nanoseconds;

std::optional<nanoseconds> timelineTimeOfBeat(const TimelineSnapshot& snapshot, double beat) {
    if (!snapshot.rolling || beat > snapshot.horizonBeat) return std::nullopt;
    const double offset = (beat - snapshot.anchorBeat) * snapshot.nanosecondsPerBeat;
    return snapshot.anchorTime + nanoseconds(static_cast<std::int64_t>(std::llround(offset)));
}

double timelineBeatAt(const TimelineSnapshot& snapshot, nanoseconds now) {
    if (snapshot.nanosecondsPerBeat <= 0) return snapshot.anchorBeat;
    return snapshot.anchorBeat +
           static_cast<double>((now - snapshot.anchorTime).count()) / snapshot.nanosecondsPerBeat;
}

// A sequence lock over atomic words, stored with release and loaded with
// acquire (no fences, which ThreadSanitizer cannot follow).
void Timeline::publish(const TimelineSnapshot& snapshot) {
    const std::uint32_t sequence = sequence_.load(std::memory_order_relaxed);
    sequence_.store(sequence + 1, std::memory_order_relaxed);
    const std::array<std::uint64_t, kWords> words = {
        snapshot.rolling ? 1u : 0u,
        std::bit_cast<std::uint64_t>(snapshot.anchorBeat),
        static_cast<std::uint64_t>(snapshot.anchorTime.count()),
        std::bit_cast<std::uint64_t>(snapshot.nanosecondsPerBeat),
        std::bit_cast<std::uint64_t>(snapshot.horizonBeat),
        snapshot.epoch};
    for (std::size_t i = 0; i < kWords; ++i) words_[i].store(words[i], std::memory_order_release);
    sequence_.store(sequence + 2, std::memory_order_release);
    std::lock_guard lock(subscribersMutex_);
    for (const auto& wake : subscribers_) wake->notify();
}

TimelineSnapshot Timeline::read() const {
    std::array<std::uint64_t, kWords> words{};
    for (;;) {
        const std::uint32_t before = sequence_.load(std::memory_order_acquire);
        if ((before & 1u) != 0) {
            std::this_thread::yield();
            continue;
        }
        for (std::size_t i = 0; i < kWords; ++i)
            words[i] = words_[i].load(std::memory_order_acquire);
        if (sequence_.load(std::memory_order_relaxed) == before) break;
    }
    TimelineSnapshot snapshot;
    snapshot.rolling = words[0] != 0;
    snapshot.anchorBeat = std::bit_cast<double>(words[1]);
    snapshot.anchorTime = nanoseconds(static_cast<std::int64_t>(words[2]));
    snapshot.nanosecondsPerBeat = std::bit_cast<double>(words[3]);
    snapshot.horizonBeat = std::bit_cast<double>(words[4]);
    snapshot.epoch = static_cast<std::uint32_t>(words[5]);
    return snapshot;
}

void Timeline::subscribe(std::shared_ptr<WakeSignal> wake) {
    std::lock_guard lock(subscribersMutex_);
    subscribers_.push_back(std::move(wake));
}

void Timeline::unsubscribe(const std::shared_ptr<WakeSignal>& wake) {
    std::lock_guard lock(subscribersMutex_);
    std::erase(subscribers_, wake);
}

}  // namespace halvorn

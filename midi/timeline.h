#pragma once
// Where beats fall in time while playback follows a clock from outside (MIDI
// clock, JACK transport, Link): the source publishes a snapshot whenever it
// learns something (a clock, a JACK cycle, a Link session change), and the
// stream's real-time scheduler reads the latest without a lock.
//
// Beats are quarter notes counted from the song's start, as the source
// counts them; times are on the stream's clock (the steady clock).

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "midi/wake_signal.h"

namespace halvorn {

struct TimelineSnapshot {
    bool rolling = false;  // beats advance; while not, no beat has a time
    double anchorBeat = 0.0;
    std::chrono::nanoseconds anchorTime{0};  // when anchorBeat sounds
    double nanosecondsPerBeat = 5e8;
    // No time is given for a beat past this one: the source has not heard
    // far enough (the next MIDI clock is late), so playback waits there.
    double horizonBeat = 1e300;
    // Bumped by the source at every jump of the position (a start, a
    // relocation): a stream follows only the epoch it has been relocated
    // for, so the buffers of the old position never sound on the new times.
    std::uint32_t epoch = 0;
    bool operator==(const TimelineSnapshot&) const = default;
};

// When `beat` sounds under `snapshot`; nothing while it does not roll or for
// a beat past its horizon.
std::optional<std::chrono::nanoseconds> timelineTimeOfBeat(const TimelineSnapshot& snapshot,
                                                           double beat);

// The beat sounding at `now` (which may lie before the anchor).
double timelineBeatAt(const TimelineSnapshot& snapshot, std::chrono::nanoseconds now);

// Quarter notes a minute.
inline double timelineTempo(const TimelineSnapshot& snapshot) {
    return snapshot.nanosecondsPerBeat > 0 ? 60e9 / snapshot.nanosecondsPerBeat : 0.0;
}

class Timeline {
  public:
    // One writer at a time (the source's own thread); never waits on a
    // reader. Wakes every subscriber.
    void publish(const TimelineSnapshot& snapshot);
    // Any thread, without a lock or an allocation.
    TimelineSnapshot read() const;
    // True once anything has been published.
    bool published() const { return sequence_.load(std::memory_order_acquire) != 0; }

    // `wake` is notified at each publish until unsubscribed (the stream's
    // scheduler waits on it). Not on a real-time thread.
    void subscribe(std::shared_ptr<WakeSignal> wake);
    void unsubscribe(const std::shared_ptr<WakeSignal>& wake);

  private:
    static constexpr std::size_t kWords = 6;
    std::atomic<std::uint32_t> sequence_{0};
    std::array<std::atomic<std::uint64_t>, kWords> words_{};
    std::mutex subscribersMutex_;
    std::vector<std::shared_ptr<WakeSignal>> subscribers_;
};

}  // namespace halvorn

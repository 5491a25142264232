#pragma once
// Where a software stream stands, as its scheduler thread publishes it and
// any other thread reads it without a lock: the tick of the last message
// played and the tempo anchor that carries the position on with the clock
// toward the next message due, so a play-position display moves smoothly
// through rests instead of jumping from note to note.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>

namespace halvorn {

struct StreamPositionState {
    std::uint64_t playedTick = 0;  // tick of the last record played
    std::uint64_t anchorTick = 0;  // the tempo's anchor: anchorTick sounds at anchorTime
    std::chrono::nanoseconds anchorTime{0};
    std::uint32_t ticksPerQuarter = 96;
    std::uint32_t microsecondsPerQuarter = 500000;
    bool running = false;
    bool nextKnown = false;  // a record waits to be played at nextTick
    std::uint64_t nextTick = 0;
    bool operator==(const StreamPositionState&) const = default;
};

// The clock time of `tick` under the state's anchor and tempo, truncated to
// whole nanoseconds as the scheduler plays it.
std::chrono::nanoseconds streamTimeOfTick(const StreamPositionState& state, std::uint64_t tick);

// The position at clock time `now`: the last tick whose time has come under
// the tempo, held between the tick last played and the next one waiting
// (playedTick while stopped or with nothing waiting).
std::uint64_t streamTickAt(const StreamPositionState& state, std::chrono::nanoseconds now);

// One writer that never waits, any number of readers (a sequence lock over
// atomic words, so no reader ever sees half an update).
class PublishedStreamPosition {
  public:
    void publish(const StreamPositionState& state);
    StreamPositionState read() const;

  private:
    static constexpr std::size_t kWords = 6;
    std::atomic<std::uint32_t> sequence_{0};
    std::array<std::atomic<std::uint64_t>, kWords> words_{};
};

}  // namespace halvorn

#pragma once
// Where each loop pass begins on a playback stream's clock, for the passes
// queued and not yet heard: at most one a queued buffer, and the one being
// heard. Turns the stream's ticks (which keep counting across passes) into
// the song's.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace halvorn {

class LoopPassStarts {
  public:
    // A fresh start; the pass being heard began at stream tick `firstStart`
    // (a relocation puts the stream's ticks ahead of the song's).
    void reset(std::uint64_t firstStart = 0) {
        count_ = 0;
        firstStart_ = firstStart;
        queuedPassStart_ = firstStart;
    }
    // The pass just queued ended with its last event at `lastEventTime`: the
    // next pass's tick 0 coincides with it on the stream.
    void passQueued(std::uint32_t lastEventTime) {
        queuedPassStart_ += lastEventTime;
        if (count_ == starts_.size()) {
            std::move(starts_.begin() + 1, starts_.end(), starts_.begin());
            --count_;
        }
        starts_[count_++] = queuedPassStart_;
    }
    // The song tick at stream tick `streamTick`. Where two passes meet, the
    // tick belongs to the pass that ends there.
    std::uint64_t songTickAt(std::uint64_t streamTick) const {
        std::uint64_t start = firstStart_;
        for (std::size_t i = 0; i < count_ && starts_[i] < streamTick; ++i) start = starts_[i];
        return streamTick > start ? streamTick - start : 0;
    }

  private:
    static constexpr std::size_t kKept = 16;
    std::array<std::uint64_t, kKept> starts_{};
    std::size_t count_ = 0;
    std::uint64_t firstStart_ = 0;
    std::uint64_t queuedPassStart_ = 0;
};

}  // namespace halvorn

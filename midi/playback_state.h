#pragma once
// The state of a MidiSystem's one playback, shared by the owner's thread and
// the stream's notification thread under its mutex. Only the playback and
// the MidiSystem that holds it see inside.

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "midi/midi_stream.h"
#include "midi/playback.h"
#include "midi/playback_event_list.h"
#include "midi/playback_window.h"

namespace halvorn {

// Where each loop pass begins on the stream's clock, for the passes queued
// and not yet heard: at most one a queued buffer, and the one being heard.
class LoopPassStarts {
  public:
    void reset() {
        count_ = 0;
        queuedPassStart_ = 0;
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
        std::uint64_t start = 0;
        for (std::size_t i = 0; i < count_ && starts_[i] < streamTick; ++i) start = starts_[i];
        return streamTick - start;
    }

  private:
    std::array<std::uint64_t, 2 * kPlaybackHeaderCount> starts_{};
    std::size_t count_ = 0;
    std::uint64_t queuedPassStart_ = 0;
};

struct PlaybackState {
    std::mutex mutex;
    std::unique_ptr<MidiStream> stream;
    bool streamOpen = false;
    bool playing = false;
    bool paused = false;
    bool ending = false;  // the end-marked buffer is queued: no more refills
    bool halted = false;  // a refill failed: notifications only release buffers
    std::string failure;  // why playback halted when its output went away
    MidiSong* song = nullptr;
    bool loop = false;
    bool sendClock = false;
    PlaybackWindow window;
    std::uint32_t nextHeader = 0;
    std::array<bool, kPlaybackHeaderCount> headerQueued{};
    MidiPlaybackEndFunction endCallback;
    MidiEventList list;
    LoopPassStarts passStarts;
    // Closes a stream on behalf of its own notification thread; joined
    // before the next such close and at shutdown, so it never outlives main.
    std::thread closer;

    ~PlaybackState() { joinCloser(); }
    void joinCloser() {
        if (closer.joinable() && closer.get_id() != std::this_thread::get_id()) closer.join();
    }
};

}  // namespace halvorn

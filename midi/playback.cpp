#include "midi/playback.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "midi/channel_setup.h"
#include "midi/midi_settings.h"
#include "midi/playback_event_list.h"
#include "midi/playback_window.h"
#include "midi/tempo.h"

namespace halvorn {

namespace {

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

PlaybackState& state() {
    static PlaybackState instance;
    return instance;
}

// Set on the notification thread while it runs the done function.
thread_local bool insideNotification = false;

std::uint32_t clampTick(std::uint64_t tick) {
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(tick, std::numeric_limits<std::uint32_t>::max()));
}

// Takes the stream out of the state and ends playback on it; the caller
// closes it after unlocking, since closing waits for the notifications that
// take the same lock.
std::unique_ptr<MidiStream> detachStreamLocked(PlaybackState& s) {
    s.streamOpen = false;
    s.playing = false;
    s.paused = false;
    s.song = nullptr;
    midiEventListFree(s.list);
    return std::move(s.stream);
}

// A stream cannot be closed from its own notification thread (it joins that
// thread): there the close is handed to the state's closer thread. Called
// without the state's lock.
MidiResult closeDetachedStream(std::unique_ptr<MidiStream> stream) {
    if (!stream) return MidiResult::kOk;
    if (insideNotification) {
        std::thread previous;
        {
            std::lock_guard lock(state().mutex);
            previous = std::move(state().closer);
        }
        if (previous.joinable()) previous.join();
        std::thread closer([s = std::move(stream)] { static_cast<void>(s->close()); });
        std::lock_guard lock(state().mutex);
        state().closer = std::move(closer);
        return MidiResult::kOk;
    }
    return stream->close();
}

void rewindSong(MidiSong& song) {
    for (MidiTrack& track : song.tracks) track.playCursor = 0;
}

std::array<std::uint32_t, kMidiTrackSlots> saveCursors(const MidiSong& song) {
    std::array<std::uint32_t, kMidiTrackSlots> cursors{};
    for (int i = 0; i < kMidiTrackSlots; ++i) cursors[i] = song.tracks[i].playCursor;
    return cursors;
}

void restoreCursors(MidiSong& song, const std::array<std::uint32_t, kMidiTrackSlots>& cursors) {
    for (int i = 0; i < kMidiTrackSlots; ++i) song.tracks[i].playCursor = cursors[i];
}

// Queues `buffer` under the next header, marks the end when the window just
// filled covers the song's last event, and moves to the next window.
MidiResult queueWindowBufferLocked(PlaybackState& s, MidiSong& song, MidiStreamBuffer& buffer) {
    const bool endReached = s.window.end > song.lengthTicks;
    buffer.userWord = s.nextHeader | (endReached && !s.loop ? kPlaybackEndMark : 0);
    if (s.stream->prepare(buffer) != MidiResult::kOk || s.stream->queue(buffer) != MidiResult::kOk)
        return MidiResult::kDeviceError;
    s.headerQueued[s.nextHeader] = true;
    if (endReached && !s.loop) s.ending = true;
    if (endReached && s.loop) {
        s.passStarts.passQueued(s.window.lastEventTime);
        s.window.end = 0;
        rewindSong(song);
        s.window.lastEventTime = 0;
    }
    s.nextHeader = (s.nextHeader + 1) % kPlaybackHeaderCount;
    s.window.end += s.window.ticks;
    return endReached ? MidiResult::kEndOfSong : MidiResult::kOk;
}

// The window fill. A failure leaves the cursors, the window and the header
// ring as they were, and the buffer is released.
MidiResult fillWindowLocked(PlaybackState& s, MidiSong& song) {
    if (!s.stream || s.headerQueued[s.nextHeader]) return MidiResult::kDeviceError;
    const auto cursors = saveCursors(song);
    const PlaybackWindow window = s.window;
    MidiResult result = playbackGatherWindow(song, s.list, s.window, s.sendClock);
    if (result == MidiResult::kNoEventsInWindow && !s.sendClock) return result;
    MidiStreamBuffer buffer;
    if (result == MidiResult::kOk) result = playbackBuildEventBuffer(s.list, s.window, buffer);
    if (result == MidiResult::kOk) result = queueWindowBufferLocked(s, song, buffer);
    if (result != MidiResult::kOk && result != MidiResult::kEndOfSong) {
        restoreCursors(song, cursors);
        s.window = window;
    }
    return result;
}

MidiResult fillEmptyLocked(PlaybackState& s, MidiSong& song) {
    if (!s.stream || s.headerQueued[s.nextHeader]) return MidiResult::kDeviceError;
    MidiStreamBuffer buffer;
    playbackBuildEmptyBuffer(buffer);
    return queueWindowBufferLocked(s, song, buffer);
}

MidiResult queueNextLocked(PlaybackState& s, MidiSong* song) {
    if (!song) return MidiResult::kNoSong;
    const MidiResult result = fillWindowLocked(s, *song);
    if (result == MidiResult::kNoEventsInWindow) return fillEmptyLocked(s, *song);
    return result;
}

bool isQueueFailure(MidiResult result) {
    return result != MidiResult::kOk && result != MidiResult::kEndOfSong;
}

std::uint64_t windowTicksFor(const MidiSong& song) {
    const std::int32_t beats = midiSettings().bufferBeats;
    return static_cast<std::uint64_t>(song.ppqn) *
           static_cast<std::uint64_t>(beats > 0 ? beats : 1);
}

}  // namespace

MidiStatus midiOpenStream() {
    PlaybackState& s = state();
    std::unique_ptr<MidiStream> previous;
    {
        std::lock_guard lock(s.mutex);
        if (s.streamOpen) previous = detachStreamLocked(s);
    }
    static_cast<void>(closeDetachedStream(std::move(previous)));
    auto stream = midiOpenDeviceStream(midiSettings().selectedPort, midiPlaybackDone);
    if (!stream) return unexpected(MidiError{MidiResult::kDeviceError, stream.error()});
    std::lock_guard lock(s.mutex);
    s.stream = std::move(*stream);
    s.streamOpen = true;
    return {};
}

MidiResult midiCloseStream() {
    PlaybackState& s = state();
    std::unique_ptr<MidiStream> stream;
    {
        std::lock_guard lock(s.mutex);
        if (!s.streamOpen) return MidiResult::kOk;
        stream = detachStreamLocked(s);
    }
    return closeDetachedStream(std::move(stream)) == MidiResult::kOk ? MidiResult::kOk
                                                                     : MidiResult::kDeviceError;
}

MidiStatus midiPlaybackPrepare(MidiSong* song, MidiPlaybackEndFunction endCallback, bool loop,
                               bool sendClock) {
    const auto fail = [](MidiResult code) { return unexpected(MidiError{code, {}}); };
    if (!song) return fail(MidiResult::kNoSong);
    PlaybackState& s = state();
    MidiPlaybackEndFunction previousOwner;
    std::uint32_t previousEnd = 0;
    {
        std::lock_guard lock(s.mutex);
        if (s.playing) {
            previousOwner = std::move(s.endCallback);
            previousEnd = clampTick(s.window.end);
        }
        s.endCallback = nullptr;
        s.song = nullptr;
    }
    // The running playback is stopped before its owner hears of it, so the
    // owner finds it gone.
    MidiStatus opened = midiOpenStream();
    if (previousOwner) previousOwner(previousEnd);
    if (!opened) return opened;

    std::lock_guard lock(s.mutex);
    if (!s.stream) return fail(MidiResult::kDeviceError);
    const std::optional<std::uint32_t> tempo = microsecondsPerQuarter(song->tempo);
    if (song->ppqn == 0 || !tempo) return fail(MidiResult::kDeviceError);
    if (midiEventListCreate(s.list, kMidiEventListCapacity) != MidiResult::kOk)
        return fail(MidiResult::kOutOfMemory);
    s.loop = loop;
    s.sendClock = sendClock;
    s.window = PlaybackWindow{};
    s.window.ticks = windowTicksFor(*song);
    s.window.end = s.window.ticks;
    s.passStarts.reset();
    rewindSong(*song);
    // As the stream interface has it, failures of these two are not acted on.
    static_cast<void>(s.stream->setTimeDivision(song->ppqn));
    static_cast<void>(s.stream->setTempo(*tempo));
    // The instruments the tracks name, where the output is a synthesizer of
    // ours; the song still plays if the set-up is refused.
    static_cast<void>(s.stream->setUpChannels(midiSongChannelSetup(*song)));
    s.song = song;
    s.endCallback = std::move(endCallback);
    s.ending = false;
    s.halted = false;
    s.failure.clear();
    s.paused = false;
    // The previous stream handed every buffer back when it closed.
    s.nextHeader = 0;
    s.headerQueued.fill(false);
    return {};
}

MidiResult midiPlaybackStart() {
    PlaybackState& s = state();
    std::lock_guard lock(s.mutex);
    if (s.playing) return MidiResult::kOk;
    if (!s.stream || !s.song) return MidiResult::kDeviceError;
    s.window.startPending = s.sendClock;
    // The stream is paused: no notification can refill meanwhile.
    MidiResult result = queueNextLocked(s, s.song);
    if (result == MidiResult::kOk) result = queueNextLocked(s, s.song);
    if (isQueueFailure(result)) return result;
    if (s.stream->restart() != MidiResult::kOk) return MidiResult::kDeviceError;
    s.playing = true;
    return MidiResult::kOk;
}

MidiResult midiPlaybackStop() {
    PlaybackState& s = state();
    std::unique_ptr<MidiStream> stream;
    {
        std::lock_guard lock(s.mutex);
        if (!s.playing) return MidiResult::kOk;
        s.playing = false;
        if (!s.stream) return MidiResult::kDeviceError;
        stream = detachStreamLocked(s);
    }
    static_cast<void>(closeDetachedStream(std::move(stream)));
    return MidiResult::kOk;
}

MidiResult midiPlaybackPause() {
    PlaybackState& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.stream) return MidiResult::kDeviceError;
    if (s.paused) {
        if (s.stream->restart() != MidiResult::kOk) return MidiResult::kDeviceError;
        s.paused = false;
    } else {
        if (s.stream->pause() != MidiResult::kOk) return MidiResult::kDeviceError;
        s.paused = true;
    }
    return MidiResult::kOk;
}

MidiResult midiPlaybackQueueNext(MidiSong* song) {
    PlaybackState& s = state();
    std::lock_guard lock(s.mutex);
    return queueNextLocked(s, song);
}

void midiPlaybackDone(MidiStreamBuffer&& played) {
    insideNotification = true;
    PlaybackState& s = state();
    MidiPlaybackEndFunction notify;
    std::uint32_t endTick = 0;
    {
        std::lock_guard lock(s.mutex);
        const MidiStreamBuffer buffer = std::move(played);  // released on return
        const std::uint32_t index = buffer.userWord & 0x7FFFu;
        if (index < kPlaybackHeaderCount) s.headerQueued[index] = false;
        if (!s.playing || s.halted) {
        } else if (std::string lost = s.stream->failure(); !lost.empty()) {
            // Playing on into a port that is gone would look like a hang.
            s.halted = true;
            s.failure = std::move(lost);
            notify = std::move(s.endCallback);
            s.endCallback = nullptr;
        } else if ((buffer.userWord & kPlaybackEndMark) != 0) {
            notify = std::move(s.endCallback);
            s.endCallback = nullptr;
        } else if (!s.ending && isQueueFailure(queueNextLocked(s, s.song))) {
            // Falling silent while "playing" would strand the owner: tell it.
            s.halted = true;
            notify = std::move(s.endCallback);
            s.endCallback = nullptr;
        }
        endTick = clampTick(s.window.end);
    }
    if (notify) notify(endTick);
    insideNotification = false;
}

bool midiPlaybackUsesSong(const MidiSong* song) {
    PlaybackState& s = state();
    std::lock_guard lock(s.mutex);
    return song && s.streamOpen && s.song == song;
}

std::string midiPlaybackFailure() {
    PlaybackState& s = state();
    std::lock_guard lock(s.mutex);
    return s.failure;
}

bool midiPlaybackIsPlaying() {
    PlaybackState& s = state();
    std::lock_guard lock(s.mutex);
    return s.playing;
}

std::optional<std::uint64_t> midiPlaybackPositionTicks() {
    PlaybackState& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.playing || !s.stream) return std::nullopt;
    const std::optional<std::uint64_t> streamTick = s.stream->positionTicks();
    if (!streamTick) return std::nullopt;
    return s.passStarts.songTickAt(*streamTick);
}

void midiPlaybackShutdown() {
    static_cast<void>(midiPlaybackStop());
    static_cast<void>(midiCloseStream());
    PlaybackState& s = state();
    std::thread closer;
    {
        std::lock_guard lock(s.mutex);
        closer = std::move(s.closer);
    }
    if (closer.joinable()) closer.join();
}

}  // namespace halvorn

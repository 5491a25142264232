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
#include "midi/midi_system.h"
#include "midi/playback_event_list.h"
#include "midi/playback_state.h"
#include "midi/playback_window.h"
#include "midi/tempo.h"

namespace halvorn {

namespace {

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
MidiResult closeDetachedStream(PlaybackState& s, std::unique_ptr<MidiStream> stream) {
    if (!stream) return MidiResult::kOk;
    if (insideNotification) {
        std::thread previous;
        {
            std::lock_guard lock(s.mutex);
            previous = std::move(s.closer);
        }
        if (previous.joinable()) previous.join();
        std::thread closer([s = std::move(stream)] { static_cast<void>(s->close()); });
        std::lock_guard lock(s.mutex);
        s.closer = std::move(closer);
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

std::uint64_t windowTicksFor(const MidiSong& song, std::int32_t beats) {
    return static_cast<std::uint64_t>(song.ppqn) *
           static_cast<std::uint64_t>(beats > 0 ? beats : 1);
}

}  // namespace

MidiResult midiResultOf(const MidiStatus& status) {
    if (status) return MidiResult::kOk;
    switch (status.error().code) {
        case ErrorCode::kNoSong:
            return MidiResult::kNoSong;
        case ErrorCode::kOutOfMemory:
            return MidiResult::kOutOfMemory;
        default:
            return MidiResult::kDeviceError;
    }
}

MidiStatus midiOpenStream(MidiSystem& system) {
    PlaybackState& s = system.playback();
    std::unique_ptr<MidiStream> previous;
    {
        std::lock_guard lock(s.mutex);
        if (s.streamOpen) previous = detachStreamLocked(s);
    }
    static_cast<void>(closeDetachedStream(s, std::move(previous)));
    auto stream = midiOpenDeviceStream(
        system, system.settings.selectedPort,
        [&system](MidiStreamBuffer&& played) { midiPlaybackDone(system, std::move(played)); });
    if (!stream) {
        // Whatever kept it shut, a stream that does not open is the device's failure.
        Error failure = stream.error();
        failure.code = ErrorCode::kDevice;
        return unexpected(std::move(failure));
    }
    std::lock_guard lock(s.mutex);
    s.stream = std::move(*stream);
    s.streamOpen = true;
    return {};
}

MidiResult midiCloseStream(MidiSystem& system) {
    PlaybackState& s = system.playback();
    std::unique_ptr<MidiStream> stream;
    {
        std::lock_guard lock(s.mutex);
        if (!s.streamOpen) return MidiResult::kOk;
        stream = detachStreamLocked(s);
    }
    return closeDetachedStream(s, std::move(stream)) == MidiResult::kOk ? MidiResult::kOk
                                                                        : MidiResult::kDeviceError;
}

MidiStatus midiPlaybackPrepare(MidiSystem& system, MidiSong* song,
                               MidiPlaybackEndFunction endCallback, bool loop, bool sendClock) {
    const auto fail = [](ErrorCode code) { return unexpected(errorOf(code, {})); };
    if (!song) return fail(ErrorCode::kNoSong);
    PlaybackState& s = system.playback();
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
    MidiStatus opened = midiOpenStream(system);
    if (previousOwner) previousOwner(previousEnd);
    if (!opened) return opened;

    std::lock_guard lock(s.mutex);
    if (!s.stream) return fail(ErrorCode::kDevice);
    const std::optional<std::uint32_t> tempo = microsecondsPerQuarter(song->tempo);
    if (song->ppqn == 0 || !tempo) return fail(ErrorCode::kDevice);
    if (midiEventListCreate(s.list, kMidiEventListCapacity) != MidiResult::kOk)
        return fail(ErrorCode::kOutOfMemory);
    s.loop = loop;
    s.sendClock = sendClock;
    s.window = PlaybackWindow{};
    s.window.ticks = windowTicksFor(*song, system.settings.bufferBeats);
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

MidiResult midiPlaybackStart(MidiSystem& system) {
    PlaybackState& s = system.playback();
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

MidiResult midiPlaybackStop(MidiSystem& system) {
    PlaybackState& s = system.playback();
    std::unique_ptr<MidiStream> stream;
    {
        std::lock_guard lock(s.mutex);
        if (!s.playing) return MidiResult::kOk;
        s.playing = false;
        if (!s.stream) return MidiResult::kDeviceError;
        stream = detachStreamLocked(s);
    }
    static_cast<void>(closeDetachedStream(s, std::move(stream)));
    return MidiResult::kOk;
}

MidiResult midiPlaybackPause(MidiSystem& system) {
    PlaybackState& s = system.playback();
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

MidiResult midiPlaybackQueueNext(MidiSystem& system, MidiSong* song) {
    PlaybackState& s = system.playback();
    std::lock_guard lock(s.mutex);
    return queueNextLocked(s, song);
}

void midiPlaybackDone(MidiSystem& system, MidiStreamBuffer&& played) {
    insideNotification = true;
    PlaybackState& s = system.playback();
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

bool midiPlaybackUsesSong(MidiSystem& system, const MidiSong* song) {
    PlaybackState& s = system.playback();
    std::lock_guard lock(s.mutex);
    return song && s.streamOpen && s.song == song;
}

std::string midiPlaybackFailure(MidiSystem& system) {
    PlaybackState& s = system.playback();
    std::lock_guard lock(s.mutex);
    return s.failure;
}

bool midiPlaybackIsPlaying(MidiSystem& system) {
    PlaybackState& s = system.playback();
    std::lock_guard lock(s.mutex);
    return s.playing;
}

std::optional<std::uint64_t> midiPlaybackPositionTicks(MidiSystem& system) {
    PlaybackState& s = system.playback();
    std::lock_guard lock(s.mutex);
    if (!s.playing || !s.stream) return std::nullopt;
    const std::optional<std::uint64_t> streamTick = s.stream->positionTicks();
    if (!streamTick) return std::nullopt;
    return s.passStarts.songTickAt(*streamTick);
}

void midiPlaybackShutdown(MidiSystem& system) {
    static_cast<void>(midiPlaybackStop(system));
    static_cast<void>(midiCloseStream(system));
    PlaybackState& s = system.playback();
    std::thread closer;
    {
        std::lock_guard lock(s.mutex);
        closer = std::move(s.closer);
    }
    if (closer.joinable()) closer.join();
}

MidiSystem::MidiSystem() : playback_(std::make_unique<PlaybackState>()) {}

MidiSystem::~MidiSystem() {
    midiPlaybackShutdown(*this);
}

}  // namespace halvorn

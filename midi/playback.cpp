#include "midi/playback.h"

#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "midi/midi_settings.h"
#include "midi/playback_event_list.h"
#include "midi/playback_window.h"

namespace halvorn {

namespace {

struct PlaybackState {
    std::mutex mutex;
    std::unique_ptr<MidiStream> stream;
    bool streamOpen = false;
    bool playing = false;
    bool paused = false;
    bool ending = false;  // the end-marked buffer is queued: no more refills
    bool halted = false;  // a refill failed: notifications only release buffers
    MidiSong* song = nullptr;
    bool loop = false;
    bool sendClock = false;
    PlaybackWindow window;
    std::uint32_t nextHeader = 0;
    std::array<bool, kPlaybackHeaderCount> headerQueued{};
    MidiPlaybackEndFunction endCallback;
    MidiEventList list;
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
// thread): there the close is handed to a thread of its own.
int closeDetachedStream(std::unique_ptr<MidiStream> stream) {
    if (!stream) return kMidiOk;
    if (insideNotification) {
        std::thread([s = std::move(stream)] { s->close(); }).detach();
        return kMidiOk;
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
int queueWindowBufferLocked(PlaybackState& s, MidiSong& song, MidiStreamBuffer& buffer) {
    const bool endReached = s.window.end > song.lengthTicks;
    buffer.userWord = s.nextHeader | (endReached && !s.loop ? kPlaybackEndMark : 0);
    if (s.stream->prepare(buffer) != kMidiOk || s.stream->queue(buffer) != kMidiOk)
        return kMidiDeviceError;
    s.headerQueued[s.nextHeader] = true;
    if (endReached && !s.loop) s.ending = true;
    if (endReached && s.loop) {
        s.window.end = 0;
        rewindSong(song);
        s.window.lastEventTime = 0;
    }
    s.nextHeader = (s.nextHeader + 1) % kPlaybackHeaderCount;
    s.window.end += s.window.ticks;
    return endReached ? kMidiEndOfSong : kMidiOk;
}

// The window fill. A failure leaves the cursors, the window and the header
// ring as they were, and the buffer is released.
int fillWindowLocked(PlaybackState& s, MidiSong& song) {
    if (!s.stream || s.headerQueued[s.nextHeader]) return kMidiDeviceError;
    const auto cursors = saveCursors(song);
    const PlaybackWindow window = s.window;
    int result = playbackGatherWindow(song, s.list, s.window, s.sendClock);
    if (result == kMidiNoEventsInWindow && !s.sendClock) return result;
    MidiStreamBuffer buffer;
    if (result == kMidiOk) result = playbackBuildEventBuffer(s.list, s.window, buffer);
    if (result == kMidiOk) result = queueWindowBufferLocked(s, song, buffer);
    if (result != kMidiOk && result != kMidiEndOfSong) {
        restoreCursors(song, cursors);
        s.window = window;
    }
    return result;
}

int fillEmptyLocked(PlaybackState& s, MidiSong& song) {
    if (!s.stream || s.headerQueued[s.nextHeader]) return kMidiDeviceError;
    MidiStreamBuffer buffer;
    const int result = playbackBuildEmptyBuffer(buffer);
    if (result != kMidiOk) return result;
    return queueWindowBufferLocked(s, song, buffer);
}

int queueNextLocked(PlaybackState& s, MidiSong* song) {
    if (!song) return kMidiNoSong;
    const int result = fillWindowLocked(s, *song);
    if (result == kMidiNoEventsInWindow) return fillEmptyLocked(s, *song);
    return result;
}

bool isQueueFailure(int result) {
    return result != kMidiOk && result != kMidiEndOfSong;
}

// Microseconds per quarter note for `tempo` beats per minute, or 0 when the
// tempo cannot be played.
std::uint32_t microsecondsPerQuarter(double tempo) {
    if (!std::isfinite(tempo) || tempo <= 0.0) return 0;
    const double us = std::trunc(60000000.0 / tempo);
    if (us < 1.0 || us > std::numeric_limits<std::uint32_t>::max()) return 0;
    return static_cast<std::uint32_t>(us);
}

std::uint64_t windowTicksFor(const MidiSong& song) {
    const std::int32_t beats = midiSettings().bufferBeats;
    return static_cast<std::uint64_t>(song.ppqn) *
           static_cast<std::uint64_t>(beats > 0 ? beats : 1);
}

int openStreamLocked(PlaybackState& s, std::unique_ptr<MidiStream> stream) {
    if (!stream) return kMidiDeviceError;
    s.stream = std::move(stream);
    s.streamOpen = true;
    return kMidiOk;
}

}  // namespace

int midiOpenStream() {
    PlaybackState& s = state();
    std::unique_ptr<MidiStream> previous;
    {
        std::lock_guard lock(s.mutex);
        if (s.streamOpen) previous = detachStreamLocked(s);
    }
    closeDetachedStream(std::move(previous));
    auto stream = midiOpenDeviceStream(midiSettings().selectedPort, midiPlaybackDone);
    std::lock_guard lock(s.mutex);
    return openStreamLocked(s, std::move(stream));
}

int midiCloseStream() {
    PlaybackState& s = state();
    std::unique_ptr<MidiStream> stream;
    {
        std::lock_guard lock(s.mutex);
        if (!s.streamOpen) return kMidiOk;
        stream = detachStreamLocked(s);
    }
    return closeDetachedStream(std::move(stream)) == kMidiOk ? kMidiOk : kMidiDeviceError;
}

int midiPlaybackPrepare(MidiSong* song, MidiPlaybackEndFunction endCallback, bool loop,
                        bool sendClock) {
    if (!song) return kMidiNoSong;
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
    const int opened = midiOpenStream();
    if (previousOwner) previousOwner(previousEnd);
    if (opened != kMidiOk) return kMidiDeviceError;

    std::lock_guard lock(s.mutex);
    if (!s.stream) return kMidiDeviceError;
    const std::uint32_t tempo = microsecondsPerQuarter(song->tempo);
    if (song->ppqn == 0 || tempo == 0) return kMidiDeviceError;
    if (midiEventListCreate(s.list, kMidiEventListCapacity) != kMidiOk) return kMidiOutOfMemory;
    s.loop = loop;
    s.sendClock = sendClock;
    s.window = PlaybackWindow{};
    s.window.ticks = windowTicksFor(*song);
    s.window.end = s.window.ticks;
    rewindSong(*song);
    s.stream->setTimeDivision(song->ppqn);
    s.stream->setTempo(tempo);
    s.song = song;
    s.endCallback = std::move(endCallback);
    s.ending = false;
    s.halted = false;
    s.paused = false;
    // The previous stream handed every buffer back when it closed.
    s.nextHeader = 0;
    s.headerQueued.fill(false);
    return kMidiOk;
}

int midiPlaybackStart() {
    PlaybackState& s = state();
    std::lock_guard lock(s.mutex);
    if (s.playing) return kMidiOk;
    if (!s.stream || !s.song) return kMidiDeviceError;
    s.window.startPending = s.sendClock;
    // The stream is paused: no notification can refill meanwhile.
    int result = queueNextLocked(s, s.song);
    if (result == kMidiOk) result = queueNextLocked(s, s.song);
    if (isQueueFailure(result)) return result;
    if (s.stream->restart() != kMidiOk) return kMidiDeviceError;
    s.playing = true;
    return kMidiOk;
}

int midiPlaybackStop() {
    PlaybackState& s = state();
    std::unique_ptr<MidiStream> stream;
    {
        std::lock_guard lock(s.mutex);
        if (!s.playing) return kMidiOk;
        s.playing = false;
        if (!s.stream) return kMidiDeviceError;
        stream = detachStreamLocked(s);
    }
    closeDetachedStream(std::move(stream));
    return kMidiOk;
}

int midiPlaybackPause() {
    PlaybackState& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.stream) return kMidiDeviceError;
    if (s.paused) {
        if (s.stream->restart() != kMidiOk) return kMidiDeviceError;
        s.paused = false;
    } else {
        if (s.stream->pause() != kMidiOk) return kMidiDeviceError;
        s.paused = true;
    }
    return kMidiOk;
}

int midiPlaybackQueueNext(MidiSong* song) {
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
        if (!s.playing) {
        } else if ((buffer.userWord & kPlaybackEndMark) != 0) {
            notify = std::move(s.endCallback);
            s.endCallback = nullptr;
        } else if (!s.ending && !s.halted && isQueueFailure(queueNextLocked(s, s.song))) {
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

bool midiPlaybackIsPlaying() {
    PlaybackState& s = state();
    std::lock_guard lock(s.mutex);
    return s.playing;
}

}  // namespace halvorn

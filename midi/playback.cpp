#include "midi/playback.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "midi/channel_setup.h"
#include "midi/midi_system.h"
#include "midi/tempo.h"

namespace halvorn {

namespace {

// Set on the notification thread while it runs the done function.
thread_local bool insideNotification = false;

// How long the follower waits for a transport command before it looks
// whether it should end.
constexpr auto kFollowerPoll = std::chrono::milliseconds(50);

std::uint32_t clampTick(std::uint64_t tick) {
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(tick, std::numeric_limits<std::uint32_t>::max()));
}

bool isQueueFailure(MidiResult result) {
    return result != MidiResult::kOk && result != MidiResult::kEndOfSong;
}

std::uint64_t windowTicksFor(const MidiSong& song, std::int32_t beats) {
    return static_cast<std::uint64_t>(song.ppqn) *
           static_cast<std::uint64_t>(beats > 0 ? beats : 1);
}

MidiStatus failWith(ErrorCode code, std::string message = {}) {
    return unexpected(errorOf(code, std::move(message)));
}

std::uint32_t positionBits(std::uint16_t position) {
    return static_cast<std::uint32_t>(position) << 16;
}

}  // namespace

MidiResult midiResultOf(const Error& error) {
    switch (error.code) {
        case ErrorCode::kNoSong:
            return MidiResult::kNoSong;
        case ErrorCode::kOutOfMemory:
            return MidiResult::kOutOfMemory;
        default:
            return MidiResult::kDeviceError;
    }
}

MidiResult midiResultOf(const MidiStatus& status) {
    return status ? MidiResult::kOk : midiResultOf(status.error());
}

// ---- the lease ------------------------------------------------------------

PlaybackLease::PlaybackLease(PlaybackLease&& other) noexcept
    : playback_(std::exchange(other.playback_, nullptr)), generation_(other.generation_) {}

PlaybackLease& PlaybackLease::operator=(PlaybackLease&& other) noexcept {
    if (this != &other) {
        release();
        playback_ = std::exchange(other.playback_, nullptr);
        generation_ = other.generation_;
    }
    return *this;
}

bool PlaybackLease::held() const {
    return playback_ && playback_->heldBy(generation_);
}

void PlaybackLease::release() {
    if (Playback* playback = std::exchange(playback_, nullptr)) playback->releaseFor(generation_);
}

bool Playback::heldBy(std::uint64_t generation) {
    std::lock_guard lock(mutex_);
    return streamOpen_ && generation_ == generation;
}

void Playback::releaseFor(std::uint64_t generation) {
    if (!heldBy(generation)) return;
    static_cast<void>(stop());
    static_cast<void>(closeStream());
}

// ---- the stream -----------------------------------------------------------

std::unique_ptr<MidiStream> Playback::detachStreamLocked() {
    streamOpen_ = false;
    playing_ = false;
    paused_ = false;
    song_ = nullptr;
    midiEventListFree(list_);
    return std::move(stream_);
}

// A stream cannot be closed from its own notification thread (it joins that
// thread): there the close is handed to the closer thread. Called without
// the lock.
MidiResult Playback::closeDetached(std::unique_ptr<MidiStream> stream) {
    if (!stream) return MidiResult::kOk;
    if (insideNotification) {
        std::thread previous;
        {
            std::lock_guard lock(mutex_);
            previous = std::move(closer_);
        }
        if (previous.joinable()) previous.join();
        std::thread closer([s = std::move(stream)] { static_cast<void>(s->close()); });
        std::lock_guard lock(mutex_);
        closer_ = std::move(closer);
        return MidiResult::kOk;
    }
    return stream->close();
}

MidiStatus Playback::openStream() {
    std::unique_ptr<MidiStream> previous;
    {
        std::lock_guard lock(mutex_);
        if (streamOpen_) previous = detachStreamLocked();
    }
    stopFollowing();
    static_cast<void>(closeDetached(std::move(previous)));
    auto stream =
        midiOpenDeviceStream(system_, system_.settings.selectedPort,
                             [this](MidiStreamBuffer&& played) { done(std::move(played)); });
    if (!stream) {
        // Whatever kept it shut, a stream that does not open is the device's failure.
        Error failure = stream.error();
        failure.code = ErrorCode::kDevice;
        return unexpected(std::move(failure));
    }
    std::lock_guard lock(mutex_);
    stream_ = std::move(*stream);
    streamOpen_ = true;
    return {};
}

MidiResult Playback::closeStream() {
    std::unique_ptr<MidiStream> stream;
    {
        std::lock_guard lock(mutex_);
        if (!streamOpen_) return MidiResult::kOk;
        stream = detachStreamLocked();
    }
    stopFollowing();
    return closeDetached(std::move(stream)) == MidiResult::kOk ? MidiResult::kOk
                                                               : MidiResult::kDeviceError;
}

// ---- windows --------------------------------------------------------------

void Playback::rewindLocked() {
    cursors_.fill(0);
}

// Queues `buffer` under the next header, marks the end when the window just
// filled covers the song's last event, and moves to the next window.
MidiResult Playback::queueWindowBufferLocked(const MidiSong& song, MidiStreamBuffer& buffer) {
    const bool endReached = window_.end > song.lengthTicks;
    if (endReached && !loop_ && sendClock_) playbackAppendStop(buffer);
    buffer.userWord =
        nextHeader_ | (endReached && !loop_ ? kPlaybackEndMark : 0) | positionBits(position_);
    if (stream_->prepare(buffer) != MidiResult::kOk || stream_->queue(buffer) != MidiResult::kOk)
        return MidiResult::kDeviceError;
    headerQueued_[nextHeader_] = true;
    if (endReached && !loop_) ending_ = true;
    if (endReached && loop_) {
        passStarts_.passQueued(window_.lastEventTime);
        window_.end = 0;
        rewindLocked();
        window_.lastEventTime = 0;
        window_.clockFrom = 0;
        window_.continuePending = sendClock_;
    }
    nextHeader_ = (nextHeader_ + 1) % kPlaybackHeaderCount;
    window_.end += window_.ticks;
    return endReached ? MidiResult::kEndOfSong : MidiResult::kOk;
}

// The window fill. A failure leaves the cursors, the window and the header
// ring as they were, and the buffer is released.
MidiResult Playback::fillWindowLocked(const MidiSong& song) {
    if (!stream_ || headerQueued_[nextHeader_]) return MidiResult::kDeviceError;
    const PlaybackCursors cursors = cursors_;
    const PlaybackWindow window = window_;
    MidiResult result = playbackGatherWindow(song, cursors_, list_, window_, sendClock_);
    if (result == MidiResult::kNoEventsInWindow && !sendClock_) return result;
    MidiStreamBuffer buffer;
    if (result == MidiResult::kOk) result = playbackBuildEventBuffer(list_, window_, buffer);
    if (result == MidiResult::kOk) result = queueWindowBufferLocked(song, buffer);
    if (isQueueFailure(result)) {
        cursors_ = cursors;
        window_ = window;
    }
    return result;
}

MidiResult Playback::fillEmptyLocked(const MidiSong& song) {
    if (!stream_ || headerQueued_[nextHeader_]) return MidiResult::kDeviceError;
    MidiStreamBuffer buffer;
    playbackBuildEmptyBuffer(buffer);
    return queueWindowBufferLocked(song, buffer);
}

MidiResult Playback::queueNextLocked(const MidiSong* song) {
    if (!song) return MidiResult::kNoSong;
    const MidiResult result = fillWindowLocked(*song);
    if (result == MidiResult::kNoEventsInWindow) return fillEmptyLocked(*song);
    return result;
}

// ---- the operations -------------------------------------------------------

PlaybackPrepared Playback::prepare(const MidiSong* song, MidiPlaybackEndFunction endCallback,
                                   bool loop, bool sendClock) {
    if (!song) return unexpected(errorOf(ErrorCode::kNoSong, {}));
    {
        std::lock_guard lock(mutex_);
        ++generation_;  // the running playback's lease no longer holds it
        endCallback_ = nullptr;
        song_ = nullptr;
    }
    if (MidiStatus opened = openStream(); !opened) return unexpected(opened.error());

    std::shared_ptr<ClockSource> source;
    const SyncSetting& sync = system_.settings.sync;
    if (sync.kind != SyncKind::kInternal) {
        if (!system_.clockSources)
            return unexpected(errorOf(ErrorCode::kDevice, "This clock cannot be followed here."));
        auto opened = system_.clockSources->open(
            sync, {song->tempo, static_cast<std::int32_t>(song->timeSignatureNumerator)});
        if (!opened) {
            static_cast<void>(closeStream());
            Error failure = opened.error();
            failure.code = ErrorCode::kDevice;
            return unexpected(std::move(failure));
        }
        source = std::move(*opened);
    }

    std::unique_lock lock(mutex_);
    const auto fail = [&](ErrorCode code) {
        lock.unlock();
        if (source) source->close();
        return unexpected(errorOf(code, {}));
    };
    if (!stream_) return fail(ErrorCode::kDevice);
    const std::optional<std::uint32_t> tempo = microsecondsPerQuarter(song->tempo);
    if (song->ppqn == 0 || !tempo) return fail(ErrorCode::kDevice);
    if (midiEventListCreate(list_, kMidiEventListCapacity) != MidiResult::kOk)
        return fail(ErrorCode::kOutOfMemory);
    if (source && stream_->followTimeline(source->timeline()) != MidiResult::kOk)
        return fail(ErrorCode::kDevice);
    loop_ = loop;
    // Clock goes out only while we lead: a follower would echo its master.
    sendClock_ = sendClock && !source;
    window_ = PlaybackWindow{};
    window_.ticks = windowTicksFor(*song, system_.settings.bufferBeats);
    window_.end = window_.ticks;
    passStarts_.reset();
    rewindLocked();
    // As the stream interface has it, failures of these two are not acted on.
    static_cast<void>(stream_->setTimeDivision(song->ppqn));
    static_cast<void>(stream_->setTempo(*tempo));
    // The instruments the tracks name, where the output is a synthesizer of
    // ours; the song still plays if the set-up is refused.
    static_cast<void>(stream_->setUpChannels(midiSongChannelSetup(*song)));
    // Devices locked to our clock stop with us, also when the user stops.
    if (sendClock_) static_cast<void>(stream_->setClosingMessage(kMidiStopStatus));
    song_ = song;
    endCallback_ = std::move(endCallback);
    ending_ = false;
    halted_ = false;
    failure_.clear();
    paused_ = false;
    // The previous stream handed every buffer back when it closed.
    nextHeader_ = 0;
    headerQueued_.fill(false);
    source_ = std::move(source);
    return PlaybackLease(*this, generation_);
}

MidiStatus Playback::start() {
    std::shared_ptr<ClockSource> source;
    ClockSourceSong played;
    {
        std::lock_guard lock(mutex_);
        if (playing_) return {};
        if (!stream_ || !song_) return failWith(ErrorCode::kDevice);
        window_.startPending = sendClock_;
        // The stream is paused: no notification can refill meanwhile.
        MidiResult result = queueNextLocked(song_);
        if (result == MidiResult::kOk) result = queueNextLocked(song_);
        if (isQueueFailure(result))
            return failWith(result == MidiResult::kOutOfMemory ? ErrorCode::kOutOfMemory
                                                               : ErrorCode::kDevice);
        // A follower's stream stays paused until its source starts it.
        if (!source_ && stream_->restart() != MidiResult::kOk) return failWith(ErrorCode::kDevice);
        playing_ = true;
        paused_ = source_ != nullptr;
        source = source_;
        played = {song_->tempo, static_cast<std::int32_t>(song_->timeSignatureNumerator)};
    }
    if (source) startFollowing(std::move(source), played);
    return {};
}

MidiStatus Playback::stop() {
    std::unique_ptr<MidiStream> stream;
    {
        std::lock_guard lock(mutex_);
        if (!playing_) return {};
        playing_ = false;
        if (!stream_) return failWith(ErrorCode::kDevice);
        stream = detachStreamLocked();
    }
    stopFollowing();
    static_cast<void>(closeDetached(std::move(stream)));
    return {};
}

MidiStatus Playback::pause() {
    std::lock_guard lock(mutex_);
    if (!stream_) return failWith(ErrorCode::kDevice);
    if (paused_) {
        if (stream_->restart() != MidiResult::kOk) return failWith(ErrorCode::kDevice);
        paused_ = false;
    } else {
        if (stream_->pause() != MidiResult::kOk) return failWith(ErrorCode::kDevice);
        paused_ = true;
    }
    return {};
}

MidiResult Playback::queueNext(const MidiSong* song) {
    std::lock_guard lock(mutex_);
    return queueNextLocked(song);
}

void Playback::done(MidiStreamBuffer&& played) {
    insideNotification = true;
    MidiPlaybackEndFunction notify;
    std::uint32_t endTick = 0;
    {
        std::lock_guard lock(mutex_);
        const MidiStreamBuffer buffer = std::move(played);  // released on return
        const std::uint32_t index = buffer.userWord & 0x7FFFu;
        // A buffer of a position left by a relocation only comes back.
        const bool stale = (buffer.userWord & 0xFFFF0000u) != positionBits(position_);
        if (!stale && index < kPlaybackHeaderCount) headerQueued_[index] = false;
        if (stale || !playing_ || halted_) {
        } else if (std::string lost = stream_->failure(); !lost.empty()) {
            // Playing on into a port that is gone would look like a hang.
            halted_ = true;
            failure_ = std::move(lost);
            notify = std::move(endCallback_);
            endCallback_ = nullptr;
        } else if ((buffer.userWord & kPlaybackEndMark) != 0) {
            notify = std::move(endCallback_);
            endCallback_ = nullptr;
        } else if (!ending_ && isQueueFailure(queueNextLocked(song_))) {
            // Falling silent while "playing" would strand the owner: tell it.
            halted_ = true;
            notify = std::move(endCallback_);
            endCallback_ = nullptr;
        }
        endTick = clampTick(window_.end);
    }
    if (notify) notify(endTick);
    insideNotification = false;
}

std::string Playback::failure() {
    std::lock_guard lock(mutex_);
    return failure_;
}

bool Playback::isPlaying() {
    std::lock_guard lock(mutex_);
    return playing_;
}

std::optional<std::uint64_t> Playback::positionTicks() {
    std::lock_guard lock(mutex_);
    if (!playing_ || !stream_) return std::nullopt;
    const std::optional<std::uint64_t> streamTick = stream_->positionTicks();
    if (!streamTick) return std::nullopt;
    return passStarts_.songTickAt(*streamTick);
}

std::optional<double> Playback::followedTempo() {
    std::lock_guard lock(mutex_);
    if (!source_) return std::nullopt;
    return source_->tempo();
}

void Playback::shutdown() {
    static_cast<void>(stop());
    static_cast<void>(closeStream());
    std::thread closer;
    {
        std::lock_guard lock(mutex_);
        closer = std::move(closer_);
    }
    if (closer.joinable()) closer.join();
}

Playback::~Playback() {
    shutdown();
}

// ---- following a clock source ---------------------------------------------

void Playback::startFollowing(std::shared_ptr<ClockSource> source, const ClockSourceSong& song) {
    if (follower_.joinable()) follower_.join();  // one that ended with its source
    source->play(song);
    follower_ = std::thread([this, source] { runFollower(source); });
}

// Ends the follower and lets the source go (its threads end with it). Not
// from the follower itself, which never stops or closes the playback.
void Playback::stopFollowing() {
    std::shared_ptr<ClockSource> source;
    {
        std::lock_guard lock(mutex_);
        source = std::move(source_);
    }
    if (source) {
        source->stop();
        source->close();
    }
    if (follower_.joinable()) follower_.join();
}

void Playback::runFollower(std::shared_ptr<ClockSource> source) {
    for (;;) {
        const auto command = source->nextCommand(std::chrono::steady_clock::now() + kFollowerPoll);
        if (command) {
            applyTransport(*command);
            continue;
        }
        std::lock_guard lock(mutex_);
        if (source_ != source) return;
    }
}

void Playback::applyTransport(const TransportCommand& command) {
    std::lock_guard lock(mutex_);
    if (!playing_ || !stream_ || !song_ || halted_) return;
    switch (command.kind) {
        case TransportKind::kStart:
            relocateLocked(command.beat, command.epoch);
            if (stream_->restart() == MidiResult::kOk) paused_ = false;
            break;
        case TransportKind::kLocate:
            relocateLocked(command.beat, command.epoch);
            break;
        case TransportKind::kStop:
            // Pausing silences what sounds; the position stays.
            if (!paused_ && stream_->pause() == MidiResult::kOk) paused_ = true;
            break;
        case TransportKind::kContinue:
            if (paused_ && stream_->restart() == MidiResult::kOk) paused_ = false;
            break;
    }
}

// Plays on from `beat`: the stream hands back what it had queued and counts
// from the new position, and the next two windows are built from there.
// The stream's ticks stay the source's beats; the song's may lie behind them
// when a loop wraps.
void Playback::relocateLocked(double beat, std::uint32_t epoch) {
    const MidiSong& song = *song_;
    const auto tick = static_cast<std::uint64_t>(std::llround(std::max(beat, 0.0) * song.ppqn));
    if (stream_->relocate(tick, epoch) != MidiResult::kOk) return;
    std::uint64_t songTick = tick;
    if (loop_ && song.lengthTicks > 0) songTick %= song.lengthTicks;
    ++position_;
    headerQueued_.fill(false);
    ending_ = false;
    cursors_ = playbackCursorsAt(song, songTick);
    window_.end = (songTick / window_.ticks + 1) * window_.ticks;
    window_.lastEventTime = clampTick(songTick);
    window_.clockFrom = songTick;
    window_.startPending = false;
    window_.continuePending = false;
    passStarts_.reset(tick - songTick);
    MidiResult result = queueNextLocked(song_);
    if (result == MidiResult::kOk) result = queueNextLocked(song_);
    if (isQueueFailure(result)) halted_ = true;
}

// ---- the documented operations ----------------------------------------------

MidiStatus midiOpenStream(Playback& playback) {
    return playback.openStream();
}

MidiResult midiCloseStream(Playback& playback) {
    return playback.closeStream();
}

PlaybackPrepared midiPlaybackPrepare(Playback& playback, const MidiSong* song,
                                     MidiPlaybackEndFunction endCallback, bool loop,
                                     bool sendClock) {
    return playback.prepare(song, std::move(endCallback), loop, sendClock);
}

MidiStatus midiPlaybackStart(Playback& playback) {
    return playback.start();
}

MidiStatus midiPlaybackStop(Playback& playback) {
    return playback.stop();
}

MidiStatus midiPlaybackPause(Playback& playback) {
    return playback.pause();
}

MidiResult midiPlaybackQueueNext(Playback& playback, const MidiSong* song) {
    return playback.queueNext(song);
}

void midiPlaybackDone(Playback& playback, MidiStreamBuffer&& buffer) {
    playback.done(std::move(buffer));
}

bool midiPlaybackIsPlaying(Playback& playback) {
    return playback.isPlaying();
}

std::optional<std::uint64_t> midiPlaybackPositionTicks(Playback& playback) {
    return playback.positionTicks();
}

std::optional<double> midiPlaybackFollowedTempo(Playback& playback) {
    return playback.followedTempo();
}

std::string midiPlaybackFailure(Playback& playback) {
    return playback.failure();
}

void midiPlaybackShutdown(Playback& playback) {
    playback.shutdown();
}

}  // namespace halvorn

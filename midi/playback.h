#pragma once
// Stream playback: plays a MidiSong on the selected output by cutting it
// into windows of `bufferBeats` beats, each merged from all tracks (with
// optional MIDI clock) into one stream buffer. Two buffers are queued at the
// start; each played buffer is replaced by the next window from the
// stream's notification thread. One Playback per MidiSystem.
//
// Threads: the owner calls everything from one thread (the user-interface
// thread); the notification thread refills, and a follower thread acts on
// the transport of the clock source followed (Start, Stop, Continue, a new
// position). They share the playback's state, among it the tracks' play
// cursors, under one mutex. The song is read, never written, and must stay
// unchanged until playback stops.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "midi/clock_source.h"
#include "midi/device_list.h"
#include "midi/loop_pass_starts.h"
#include "midi/midi_song.h"
#include "midi/midi_stream.h"
#include "midi/playback_event_list.h"
#include "midi/playback_window.h"
#include "model/error.h"
#include "model/expected.h"

namespace halvorn {

class MidiSystem;
class Playback;

// Told the window end playback had reached (in ticks): once at the end of a
// non-looping song (on the notification thread), or when a refill fails or
// the output goes away (same thread; see midiPlaybackFailure). It only
// signals: forward it to the owner's thread and stop there.
using MidiPlaybackEndFunction = std::function<void(std::uint32_t tick)>;

// The user word of a queued buffer: header index in bits 0-14, end mark,
// and in bits 16-31 the position the buffer was built for (a relocation
// makes the buffers of the previous one stale).
inline constexpr std::uint32_t kPlaybackHeaderCount = 8;
inline constexpr std::uint32_t kPlaybackEndMark = 0x8000;

// A failed playback operation: kNoSong, kOutOfMemory or kDevice and, for a
// stream that would not open, the device's reason as the message (empty
// otherwise).
using MidiStatus = Expected<void, Error>;

// kOk for a success, the MidiResult of the failure's code otherwise.
MidiResult midiResultOf(const Error& error);
MidiResult midiResultOf(const MidiStatus& status);
inline bool operator==(const MidiStatus& status, MidiResult result) {
    return midiResultOf(status) == result;
}

// What a successful prepare hands its caller: the right to start, stop and
// watch that playback. Move-only; the playback stays the lease's until the
// lease is released (or goes) or another prepare takes the playback over.
class PlaybackLease {
  public:
    PlaybackLease() = default;
    ~PlaybackLease() { release(); }
    PlaybackLease(PlaybackLease&& other) noexcept;
    PlaybackLease& operator=(PlaybackLease&& other) noexcept;
    PlaybackLease(const PlaybackLease&) = delete;
    PlaybackLease& operator=(const PlaybackLease&) = delete;

    // True while the playback prepared for this lease is still the one
    // prepared or playing: an owner whose end notice arrives late checks
    // this before stopping, so it never stops a playback taken over since.
    bool held() const;
    // Stops the playback and closes its stream if the lease still holds it.
    void release();

  private:
    friend class Playback;
    PlaybackLease(Playback& playback, std::uint64_t generation)
        : playback_(&playback), generation_(generation) {}

    Playback* playback_ = nullptr;
    std::uint64_t generation_ = 0;
};

using PlaybackPrepared = Expected<PlaybackLease, Error>;
inline bool operator==(const PlaybackPrepared& prepared, MidiResult result) {
    return (prepared ? MidiResult::kOk : midiResultOf(prepared.error())) == result;
}

class Playback {
  public:
    explicit Playback(MidiSystem& system) : system_(system) {}
    // Stops and waits for a stream still closing on another thread.
    ~Playback();
    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    PlaybackPrepared prepare(const MidiSong* song, MidiPlaybackEndFunction endCallback, bool loop,
                             bool sendClock);
    MidiStatus start();
    MidiStatus stop();
    MidiStatus pause();
    MidiResult queueNext(const MidiSong* song);
    void done(MidiStreamBuffer&& buffer);
    MidiStatus openStream();
    MidiResult closeStream();
    bool isPlaying();
    std::optional<std::uint64_t> positionTicks();
    std::optional<double> followedTempo();
    std::string failure();
    void shutdown();

  private:
    friend class PlaybackLease;

    // The stream, taken out with playback ended on it; closed after unlocking.
    std::unique_ptr<MidiStream> detachStreamLocked();
    MidiResult closeDetached(std::unique_ptr<MidiStream> stream);
    MidiResult queueNextLocked(const MidiSong* song);
    MidiResult fillWindowLocked(const MidiSong& song);
    MidiResult fillEmptyLocked(const MidiSong& song);
    MidiResult queueWindowBufferLocked(const MidiSong& song, MidiStreamBuffer& buffer);
    void rewindLocked();
    bool heldBy(std::uint64_t generation);
    void releaseFor(std::uint64_t generation);

    // The clock source followed instead of the stream's own tempo.
    void startFollowing(std::shared_ptr<ClockSource> source, const ClockSourceSong& song);
    void stopFollowing();
    void runFollower(std::shared_ptr<ClockSource> source);
    void applyTransport(const TransportCommand& command);
    void relocateLocked(double beat, std::uint32_t epoch);

    MidiSystem& system_;
    std::mutex mutex_;
    std::unique_ptr<MidiStream> stream_;
    bool streamOpen_ = false;
    bool playing_ = false;
    bool paused_ = false;
    bool ending_ = false;  // the end-marked buffer is queued: no more refills
    bool halted_ = false;  // a refill failed: notifications only release buffers
    std::string failure_;  // why playback halted when its output went away
    const MidiSong* song_ = nullptr;
    bool loop_ = false;
    bool sendClock_ = false;
    PlaybackWindow window_;
    PlaybackCursors cursors_{};
    std::uint32_t nextHeader_ = 0;
    std::array<bool, kPlaybackHeaderCount> headerQueued_{};
    std::uint16_t position_ = 0;  // bumped by each relocation
    MidiPlaybackEndFunction endCallback_;
    MidiEventList list_;
    LoopPassStarts passStarts_;
    std::uint64_t generation_ = 0;  // of the lease that holds the playback

    std::shared_ptr<ClockSource> source_;
    std::thread follower_;
    // Closes a stream on behalf of its own notification thread; joined
    // before the next such close and at shutdown, so it never outlives main.
    std::thread closer_;
};

// Opens a stream on the system's `selectedPort`, closing an open one first; kDeviceError
// with the reason when it cannot.
MidiStatus midiOpenStream(Playback& playback);

// Closes the stream if one is open (it silences the notes that sound);
// playback on it ends. kOk or kDeviceError.
MidiResult midiCloseStream(Playback& playback);

// Opens the stream, sets its resolution and tempo from the song, rewinds,
// and hands back the lease of the new playback. A playback still running
// is stopped first; its lease no longer holds it. Fails with kNoSong,
// kOutOfMemory or kDevice (with the reason when the stream would not open,
// or when the clock source of the settings' `sync` cannot be followed).
PlaybackPrepared midiPlaybackPrepare(Playback& playback, const MidiSong* song,
                                     MidiPlaybackEndFunction endCallback, bool loop,
                                     bool sendClock);

// Queues the first two buffers and lets the stream run; success while
// already playing. Fails with kOutOfMemory or kDevice. While a clock source
// is followed the stream waits for the source's start.
MidiStatus midiPlaybackStart(Playback& playback);

// Ends playback and closes the stream; kDevice when no stream is open.
MidiStatus midiPlaybackStop(Playback& playback);

// Toggles between paused and running; kDevice without a stream.
MidiStatus midiPlaybackPause(Playback& playback);

// Builds and queues the buffer of the next window: kOk, kOutOfMemory,
// kEndOfSong (end reached), kDeviceError; kMergeListFull when a window holds
// more events than memory allows.
MidiResult midiPlaybackQueueNext(Playback& playback, const MidiSong* song);

// The stream's done function: releases the played buffer, refills or ends.
void midiPlaybackDone(Playback& playback, MidiStreamBuffer&& buffer);

bool midiPlaybackIsPlaying(Playback& playback);

// The song position playback has reached, in the song's ticks from the
// start of the loop pass being heard. Nothing while nothing plays or when
// the stream cannot tell. Any thread; holds the playback lock briefly.
std::optional<std::uint64_t> midiPlaybackPositionTicks(Playback& playback);

// The tempo of the clock source followed (quarter notes a minute), once it
// has one; nothing while playback keeps the song's own tempo.
std::optional<double> midiPlaybackFollowedTempo(Playback& playback);

// Why the last playback stopped before its end because its output went away
// (a port whose program quit), as one user-facing line; empty otherwise.
// The end function has been told by then.
std::string midiPlaybackFailure(Playback& playback);

// Stops playback, closes the stream and waits for a close still running on
// another thread. The Playback's destructor calls it.
void midiPlaybackShutdown(Playback& playback);

}  // namespace halvorn

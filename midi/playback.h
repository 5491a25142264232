#pragma once
// Stream playback: plays a MidiSong on the selected output by cutting it
// into windows of `bufferBeats` beats, each merged from all tracks (with
// optional MIDI clock) into one stream buffer. Two buffers are queued at the
// start; each played buffer is replaced by the next window from the
// stream's notification thread. One playback per MidiSystem.
//
// Threads: the owner calls everything from one thread (the user-interface
// thread); the notification thread refills. Both share the playback state,
// the merge list and the song's play cursors under one mutex. The song must
// stay unchanged until playback stops.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "midi/device_list.h"
#include "midi/midi_song.h"
#include "midi/midi_stream.h"
#include "midi/midi_system.h"
#include "model/error.h"
#include "model/expected.h"

namespace halvorn {

// Told the window end playback had reached (in ticks): once at the end of a
// non-looping song (on the notification thread), when a refill fails or the
// output goes away (same thread; see midiPlaybackFailure), or when
// another prepare takes the playback over (on the caller's thread). It only
// signals: forward it to the owner's thread and stop there.
using MidiPlaybackEndFunction = std::function<void(std::uint32_t tick)>;

// The user word of a queued buffer: header index in bits 0-14, end mark.
inline constexpr std::uint32_t kPlaybackHeaderCount = 8;
inline constexpr std::uint32_t kPlaybackEndMark = 0x8000;

// A failed playback operation: kNoSong, kOutOfMemory or kDevice and, for a
// stream that would not open, the device's reason as the message (empty
// otherwise).
using MidiStatus = Expected<void, Error>;

// kOk for a success, the MidiResult of the failure's code otherwise.
MidiResult midiResultOf(const MidiStatus& status);
inline bool operator==(const MidiStatus& status, MidiResult result) {
    return midiResultOf(status) == result;
}

// Opens a stream on the system's `selectedPort`, closing an open one first; kDeviceError
// with the reason when it cannot.
MidiStatus midiOpenStream(MidiSystem& system);

// Closes the stream if one is open (it silences the notes that sound);
// playback on it ends. kOk or kDeviceError.
MidiResult midiCloseStream(MidiSystem& system);

// Opens the stream, sets its resolution and tempo from the song, rewinds.
// A playback still running is stopped first and its owner told through its
// end function. Fails with kNoSong, kOutOfMemory or kDeviceError (with the
// reason when the stream would not open).
MidiStatus midiPlaybackPrepare(MidiSystem& system, MidiSong* song,
                               MidiPlaybackEndFunction endCallback, bool loop, bool sendClock);

// Queues the first two buffers and lets the stream run; kOk while already
// playing. kOk, kOutOfMemory or kDeviceError.
MidiResult midiPlaybackStart(MidiSystem& system);

// Ends playback and closes the stream; kOk, or kDeviceError when no stream
// is open.
MidiResult midiPlaybackStop(MidiSystem& system);

// Toggles between paused and running; kOk or kDeviceError.
MidiResult midiPlaybackPause(MidiSystem& system);

// Builds and queues the buffer of the next window: kOk, kOutOfMemory,
// kEndOfSong (end reached), kDeviceError; kMergeListFull when a window holds
// more events than memory allows.
MidiResult midiPlaybackQueueNext(MidiSystem& system, MidiSong* song);

// The stream's done function: releases the played buffer, refills or ends.
void midiPlaybackDone(MidiSystem& system, MidiStreamBuffer&& buffer);

// True while a playback is prepared or running on `song`: an owner whose end
// notification arrives late checks this before stopping, so it never stops
// a playback that has been taken over since.
bool midiPlaybackUsesSong(MidiSystem& system, const MidiSong* song);

bool midiPlaybackIsPlaying(MidiSystem& system);

// The song position playback has reached, in the song's ticks from the
// start of the loop pass being heard. Nothing while nothing plays or when
// the stream cannot tell. Any thread; holds the playback lock briefly.
std::optional<std::uint64_t> midiPlaybackPositionTicks(MidiSystem& system);

// Why the last playback stopped before its end because its output went away
// (a port whose program quit), as one user-facing line; empty otherwise.
// The end function has been told by then.
std::string midiPlaybackFailure(MidiSystem& system);

// Stops playback, closes the stream and waits for a close still running on
// another thread. The MidiSystem's destructor calls it.
void midiPlaybackShutdown(MidiSystem& system);

}  // namespace halvorn

#pragma once
// Cutting a song into playback windows: the merge of one window's events
// from all tracks (with MIDI clock) and its conversion into stream records.

#include <array>
#include <cstdint>

#include "midi/midi_song.h"
#include "midi/midi_stream.h"
#include "midi/playback_event_list.h"

namespace halvorn {

inline constexpr std::uint8_t kMidiClockStatus = 0xF8;
inline constexpr std::uint8_t kMidiStartStatus = 0xFA;
inline constexpr std::uint8_t kMidiContinueStatus = 0xFB;
inline constexpr std::uint8_t kMidiStopStatus = 0xFC;
inline constexpr std::uint8_t kMidiSongPositionStatus = 0xF2;
inline constexpr std::uint32_t kClocksPerQuarter = 24;

// Each track's play cursor: the index of the first event playback has not
// yet taken. The playback's, so that a song is a plain value.
using PlaybackCursors = std::array<std::uint32_t, kMidiTrackSlots>;

// Where the next buffer starts. Kept wider than the ticks of the song so
// the window arithmetic cannot wrap.
struct PlaybackWindow {
    std::uint64_t end = 0;            // exclusive end of the window the next buffer covers
    std::uint64_t ticks = 0;          // window length: ppqn x bufferBeats
    std::uint32_t lastEventTime = 0;  // base of the next delta
    bool startPending = false;        // the next buffer begins with a Start
    // The next buffer begins a loop pass other than the first: with MIDI
    // clock, a Song Position Pointer to 0 and a Continue go first.
    bool continuePending = false;
    // No clock message before this tick (a relocation to mid-window).
    std::uint64_t clockFrom = 0;
};

// Ticks between two clock messages; at least 1 for resolutions below 24.
std::uint32_t playbackClockStep(std::uint32_t ppqn);

// Takes every event before `window.end` from each track's play cursor, track
// 0 first, then clock messages for the whole window when `sendClock`; sorts
// stably by time. The list grows when a window holds more events than it
// does. kOk, kMergeListFull when it cannot grow, kOutOfMemory when the sort
// ran out of memory, kNoEventsInWindow when the window is empty.
MidiResult playbackGatherWindow(const MidiSong& song, PlaybackCursors& cursors, MidiEventList& list,
                                const PlaybackWindow& window, bool sendClock);

// The cursors of a song played from `tick`: each at its track's first event
// at or after it.
PlaybackCursors playbackCursorsAt(const MidiSong& song, std::uint64_t tick);

// The records of the gathered list, a Start first when one is pending (a
// Song Position Pointer to 0 and a Continue when a loop pass begins);
// advances lastEventTime and clears both. kOk, or kOutOfMemory (the
// window is unchanged then).
MidiResult playbackBuildEventBuffer(const MidiEventList& list, PlaybackWindow& window,
                                    MidiStreamBuffer& buffer);

// A single no-operation record at delta 0.
void playbackBuildEmptyBuffer(MidiStreamBuffer& buffer);

// Ends `buffer` with a MIDI Stop at its last event's time: the end of a
// song played with MIDI clock.
void playbackAppendStop(MidiStreamBuffer& buffer);

}  // namespace halvorn

#pragma once
// The in-memory MIDI song: song-level settings and 16 track slots of short
// messages stamped with absolute times in ticks.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "midi/general_midi.h"

namespace halvorn {

// Result codes shared by the MIDI module; the numbers are the ones the
// module has always documented. Every function that returns one must have
// its result looked at.
enum class [[nodiscard]] MidiResult : int{
    kOk = 0,
    kNotSmf = 1,             // not a Standard MIDI File, or malformed
    kUnsupportedFormat = 2,  // a format other than 1
    kNothingToDo = 3,        // no used track when writing; zero tracks when reading
    kCannotOpen = 4,         // the file cannot be opened, created or written
    kMergeListFull = 5,
    kNoSong = 6,
    kOutOfMemory = 7,
    kNoEventsInWindow = 8,
    kEndOfSong = 9,  // informational
    kDeviceError = 11,
};

inline constexpr int kMidiTrackSlots = 16;
inline constexpr double kDefaultMidiTempo = 100.0;

struct MidiEvent {
    std::uint32_t time = 0;  // absolute ticks
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    bool operator==(const MidiEvent&) const = default;
};

struct MidiTrack {
    std::optional<std::string> name;
    std::uint8_t channel = 0;
    std::uint8_t volume = kDefaultTrackVolume;
    std::uint8_t pan = kCentrePan;
    std::uint8_t program = 0;
    std::vector<MidiEvent> events;

    // A slot is "used" when it holds events.
    std::uint32_t eventCount() const { return static_cast<std::uint32_t>(events.size()); }
};

struct MidiSong {
    double tempo = kDefaultMidiTempo;  // quarter notes per minute
    std::uint16_t ppqn = 120;
    std::optional<std::string> title;
    std::optional<std::string> copyright;
    std::optional<std::string> comments;
    std::array<MidiTrack, kMidiTrackSlots> tracks;
    std::uint32_t eventCount = 0;   // derived: midiSongCountEvents
    std::uint32_t lengthTicks = 0;  // derived: midiSongComputeLength
    std::uint8_t timeSignatureNumerator = 4;
    std::int8_t keySharps = 0;
    std::uint8_t keyMinor = 0;
};

// Data bytes a status carries: 0, 1 or 2.
int midiDataByteCount(std::uint8_t status);

// Sets every field with a default to it; eventCount and lengthTicks stay.
void midiSongReset(MidiSong* song);

// Releases the texts, names and events, then resets.
void midiSongFree(MidiSong* song);

void midiSongCountEvents(MidiSong& song);
void midiSongComputeLength(MidiSong& song);

// Sorts every used slot by time. kOk, or kOutOfMemory when scratch memory
// ran out (the slots that could not be sorted keep their order).
MidiResult midiSongSortTracks(MidiSong& song);

// Stable sort by ascending unsigned time: a four-pass LSD radix sort.
// kOk, or kOutOfMemory when scratch memory ran out (the array is left as it
// was).
MidiResult midiSortEvents(std::span<MidiEvent> events);

}  // namespace halvorn

#pragma once
// The merge list of one playback window: the events of all tracks (and the
// clock messages) that fall into it.

#include <cstdint>
#include <memory>

#include "midi/midi_song.h"

namespace halvorn {

inline constexpr std::uint32_t kMidiEventListCapacity = 1000;

struct MidiEventList {
    std::uint32_t capacity = 0;
    std::uint32_t count = 0;
    std::unique_ptr<MidiEvent[]> items;
};

// Allocates `capacity` items, count 0; kOk, or kOutOfMemory leaving the list
// without items.
MidiResult midiEventListCreate(MidiEventList& list, std::uint32_t capacity);

// Releases the items; capacity and count become 0.
void midiEventListFree(MidiEventList& list);

// Doubles the capacity keeping the items; kOk, or kMergeListFull when it
// cannot grow (the list is unchanged then).
MidiResult midiEventListGrow(MidiEventList& list);

// Appends, growing when full; kOk or kMergeListFull.
MidiResult midiEventListAppend(MidiEventList& list, const MidiEvent& event);

}  // namespace halvorn

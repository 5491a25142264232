#include "midi/playback_event_list.h"

#include <algorithm>
#include <limits>
#include <new>

namespace halvorn {

int midiEventListCreate(MidiEventList& list, std::uint32_t capacity) {
    list.count = 0;
    list.items.reset(new (std::nothrow) MidiEvent[capacity]);
    if (!list.items) {
        list.capacity = 0;
        return kMidiOutOfMemory;
    }
    list.capacity = capacity;
    return kMidiOk;
}

void midiEventListFree(MidiEventList& list) {
    list.items.reset();
    list.capacity = 0;
    list.count = 0;
}

int midiEventListGrow(MidiEventList& list) {
    constexpr std::uint32_t kLimit = std::numeric_limits<std::uint32_t>::max() / 2;
    if (list.capacity >= kLimit) return kMidiMergeListFull;
    const std::uint32_t capacity = std::max<std::uint32_t>(list.capacity * 2, 16);
    std::unique_ptr<MidiEvent[]> items(new (std::nothrow) MidiEvent[capacity]);
    if (!items) return kMidiMergeListFull;
    std::copy_n(list.items.get(), list.count, items.get());
    list.items = std::move(items);
    list.capacity = capacity;
    return kMidiOk;
}

int midiEventListAppend(MidiEventList& list, const MidiEvent& event) {
    if (list.count == list.capacity && midiEventListGrow(list) != kMidiOk)
        return kMidiMergeListFull;
    list.items[list.count++] = event;
    return kMidiOk;
}

}  // namespace halvorn

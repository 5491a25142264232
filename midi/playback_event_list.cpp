#include "midi/playback_event_list.h"

#include <algorithm>
#include <limits>
#include <new>

namespace halvorn {

MidiResult midiEventListCreate(MidiEventList& list, std::uint32_t capacity) {
    list.count = 0;
    list.items.reset(new (std::nothrow) MidiEvent[capacity]);
    if (!list.items) {
        list.capacity = 0;
        return MidiResult::kOutOfMemory;
    }
    list.capacity = capacity;
    return MidiResult::kOk;
}

void midiEventListFree(MidiEventList& list) {
    list.items.reset();
    list.capacity = 0;
    list.count = 0;
}

MidiResult midiEventListGrow(MidiEventList& list) {
    constexpr std::uint32_t kLimit = std::numeric_limits<std::uint32_t>::max() / 2;
    if (list.capacity >= kLimit) return MidiResult::kMergeListFull;
    const std::uint32_t capacity = std::max<std::uint32_t>(list.capacity * 2, 16);
    std::unique_ptr<MidiEvent[]> items(new (std::nothrow) MidiEvent[capacity]);
    if (!items) return MidiResult::kMergeListFull;
    std::copy_n(list.items.get(), list.count, items.get());
    list.items = std::move(items);
    list.capacity = capacity;
    return MidiResult::kOk;
}

MidiResult midiEventListAppend(MidiEventList& list, const MidiEvent& event) {
    if (list.count == list.capacity && midiEventListGrow(list) != MidiResult::kOk)
        return MidiResult::kMergeListFull;
    list.items[list.count++] = event;
    return MidiResult::kOk;
}

}  // namespace halvorn

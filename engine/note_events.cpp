#include "engine/note_events.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace halvorn {

std::uint8_t unitToMidiValue(double level) {
    if (!(level > 0.0)) return 0;
    if (level >= 1.0) return 127;
    return static_cast<std::uint8_t>(std::trunc(level * 127.0));
}

namespace {

std::uint32_t ticksToEventTime(std::int64_t ticks) {
    constexpr std::int64_t kMaxTime = std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(ticks, 0, kMaxTime));
}

}  // namespace

std::uint32_t beatsToEventTime(double beats, std::int32_t ppqn) {
    return ticksToEventTime(beatsToTicks(beats, ppqn));
}

void appendNoteEvents(std::vector<MidiEvent>& events, const Note& note, std::uint8_t channel,
                      std::int32_t ppqn) {
    const auto status = static_cast<std::uint8_t>(0x90 | (channel & 0x0F));
    const auto pitch = static_cast<std::uint8_t>(note.pitch & 0x7F);
    const std::int64_t startTicks = beatsToTicks(note.start, ppqn);
    // A note of at most one tick would end at or before its start (below 0
    // at tick 0): the end is held at the start tick instead.
    const std::int64_t computedEnd = beatsToTicks(note.start + note.duration, ppqn);
    const std::int64_t endTicks = computedEnd > startTicks ? computedEnd - 1 : startTicks;
    events.push_back({ticksToEventTime(startTicks), status, pitch, unitToMidiValue(note.velocity)});
    events.push_back({ticksToEventTime(endTicks), status, pitch, 0});
}

}  // namespace halvorn

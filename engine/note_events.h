#pragma once
// A note becomes a pair of note-on messages: its start and, one tick before
// its computed end, a velocity-0 end.

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "engine/note.h"
#include "engine/render_error.h"
#include "midi/midi_song.h"
#include "model/expected.h"

namespace halvorn {

// trunc(level x 127) for a level in 0..1; below 0 (or NaN) gives 0, 1 and
// above give 127, so a corrupt level can never leave the 7-bit range.
std::uint8_t unitToMidiValue(double level);

// Tick of a beat position held inside the range of an event time.
std::uint32_t beatsToEventTime(double beats, std::int32_t ppqn);

// Appends the start and end events of `note` on `channel` (0..15). The end
// lies at beatsToTicks(start + duration) - 1, but never before the start
// event, so very short notes stay well-formed.
void appendNoteEvents(std::vector<MidiEvent>& events, const Note& note, std::uint8_t channel,
                      std::int32_t ppqn);

// Fills `track` with the events `append` builds (about `expected` of them),
// sorted by time. A track of a long piece can outgrow the machine's memory:
// then the track is left without events and the error says so.
template <typename Append>
Expected<void, Error> fillTrackEvents(MidiTrack& track, std::size_t expected, Append append) {
    track.events.clear();
    try {
        std::vector<MidiEvent> events;
        events.reserve(expected);
        append(events);
        if (midiSortEvents(events) != MidiResult::kOk)
            return unexpected(renderError(ErrorCode::kEventsOutOfMemory));
        track.events = std::move(events);
        return {};
    } catch (const std::bad_alloc&) {
        return unexpected(renderError(ErrorCode::kEventsOutOfMemory));
    }
}

}  // namespace halvorn

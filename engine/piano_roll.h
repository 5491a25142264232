#pragma once
// A picture of a block's notes as a piano roll: pitch upward, time to the
// right, one bar per sounding note shaded by its velocity, over beat and
// measure lines. It is composed from the note messages a track plays, as
// 0x00RRGGBB words, row-major from the top row, for any display to convert.

#include <cstdint>
#include <span>
#include <vector>

#include "midi/midi_song.h"

namespace halvorn {

// The span of time the picture covers and its size in pixels.
struct PianoRollFrame {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t ticksPerBeat = 120;  // the resolution of the events
    std::int32_t beatsPerMeasure = 4;
    std::int32_t beats = 4;  // beats from the left edge to the right edge
};

// A sounding note: from its note-on to the tick of its note-off, inclusive.
struct PianoRollNote {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::uint8_t pitch = 0;
    std::uint8_t velocity = 0;  // 1..127
    bool operator==(const PianoRollNote&) const = default;
};

// The notes of time-ordered note messages: each note-on with a velocity
// pairs with the next note-off (or velocity-0 note-on) of its channel and
// key; a note-on at velocity 0 sounds nothing and is no note. A note never
// ended lasts to `lastTick`.
std::vector<PianoRollNote> pianoRollNotes(std::span<const MidiEvent> events,
                                          std::uint32_t lastTick);

// The notes the picture of `frame` draws: a note never ended lasts to the
// frame's last tick.
std::vector<PianoRollNote> pianoRollNotesOver(std::span<const MidiEvent> events,
                                              const PianoRollFrame& frame);

inline constexpr std::uint32_t kPianoRollWhiteKey = 0x00FFFFFF;
inline constexpr std::uint32_t kPianoRollBlackKey = 0x00EDF0F4;
inline constexpr std::uint32_t kPianoRollOctaveLine = 0x00CDD3DB;
inline constexpr std::uint32_t kPianoRollBeatLine = 0x00D9DDE3;
inline constexpr std::uint32_t kPianoRollMeasureLine = 0x00808A96;

// The shade of a note of `velocity` (1..127): the louder, the darker.
std::uint32_t pianoRollNoteColour(std::uint8_t velocity);

// The least number of semitones the picture shows, so a block that keeps to
// a few keys is not drawn as a few fat bars.
inline constexpr std::int32_t kPianoRollMinimumKeys = 25;

struct PianoRollImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t lowestPitch = 0;       // the bottom row's key
    std::int32_t highestPitch = 0;      // the top row's key
    std::vector<std::uint32_t> pixels;  // width x height words

    // The first pixel row of `pitch` and the row after its last one.
    std::int32_t pitchTop(std::int32_t pitch) const;
    std::int32_t pitchBottom(std::int32_t pitch) const;
    // The pixel column of `tick` for a picture of `frame`.
    static std::int32_t tickColumn(std::uint64_t tick, const PianoRollFrame& frame);
};

// The picture of the note messages `events` (one track, time-ordered) over
// `frame`. The keys shown run from the lowest to the highest note, widened
// to kPianoRollMinimumKeys around them (around middle C when there are no
// notes). Empty pixels for a frame without area.
PianoRollImage composePianoRoll(std::span<const MidiEvent> events, const PianoRollFrame& frame);

}  // namespace halvorn

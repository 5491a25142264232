#pragma once
// The written value the rhythm step gives a note, and exact lengths in
// units of 1/96 beat: the finest grid every value lands on (a dotted 1/64
// triplet is 3 units, a 1/64 triplet 2), so notation never has to guess a
// value back from floating-point beats.

#include <cstdint>

namespace halvorn {

inline constexpr std::int64_t kUnitsPerBeat = 96;

struct NoteValue {
    std::int32_t exponent = 0;  // as kNoteValueNames counts: -6 "1/64" .. 3 "8"
    bool dotted = false;
    bool triplet = false;  // a third of the (dotted) value
    bool operator==(const NoteValue&) const = default;
};

// The exact length of `value` in units: 2^(exponent + 2) beats, times 1.5
// when dotted, divided by 3 when a triplet.
std::int64_t noteValueUnits(const NoteValue& value);

}  // namespace halvorn

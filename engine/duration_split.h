#pragma once
// Lengths as notation writes them: a length in units of 1/96 beat (see
// note_value.h) becomes tied written values, plain or as triplets.
// Everything is exact integer arithmetic.

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace halvorn {

// MusicXML's note types from the shortest this writer needs: a 1/64 triplet
// (2 units) is a 128th note played as a triplet, 1 unit a 256th one, and a
// plain 128th is 3 units.
inline constexpr std::array<std::string_view, 12> kWrittenTypeNames = {
    "256th",   "128th", "64th",  "32nd",  "16th", "eighth",
    "quarter", "half",  "whole", "breve", "long", "maxima"};
inline constexpr std::int32_t kEighthType = 5;
inline constexpr std::int32_t kQuarterType = 6;
inline constexpr std::int32_t kHalfType = 7;

struct WrittenValue {
    std::int32_t type = 0;  // index into kWrittenTypeNames
    bool dotted = false;
    bool triplet = false;    // played at 2/3 of its written length
    std::int64_t units = 0;  // the length it takes, in units
    bool operator==(const WrittenValue&) const = default;
};

// The units an undotted value of `type` takes: 3 * 2^(type - 1) plain,
// 2^type as a triplet (0 for a plain 256th, which no length needs).
std::int64_t typeUnits(std::int32_t type, bool triplet);

// `units` (> 0) as tied values, longest first, each value and the next
// shorter one merged into a dotted value: plain values when the length is a
// whole number of 128th notes (3 units), triplet values otherwise, which
// write any whole number of units. So a triplet (a third of a value: a power
// of two of units) is always written as one, and a dotted triplet (exactly
// the plain value half as long) or a triplet note's piece that happens to
// last a plain length never is.
std::vector<WrittenValue> splitDuration(std::int64_t units);

// The same, all values plain (`units` a multiple of 3) or all triplets.
std::vector<WrittenValue> splitDuration(std::int64_t units, bool triplet);

// splitDuration(units, triplet) appended to `values`.
void appendSplitDuration(std::int64_t units, bool triplet, std::vector<WrittenValue>& values);

// What a value may do besides starting on a multiple of its own length.
enum class Figures {
    kRests,  // nothing: a rest shows every subdivision it covers
    kNotes,  // also end on such a multiple when dotted (sixteenth, dotted
             // eighth) or sit centred between two (sixteenth, eighth,
             // sixteenth)
};

// Appends [start, end), counted in units from a point every value up to
// `largestType` is aligned to (a beat pair's start for plain values, a
// triplet bracket's start for triplets), as tied values that each start on
// a multiple of their length (a dotted value on a multiple of twice its
// undotted length), longest possible first. So the subdivisions of the
// beat stay visible: a note from the second sixteenth of a beat to its
// last is a sixteenth tied to an eighth, never the other way round.
void appendAlignedValues(std::int64_t start, std::int64_t end, std::int32_t largestType,
                         bool triplet, Figures figures, std::vector<WrittenValue>& values);

// How many values appendAlignedValues gives, without building them.
std::size_t alignedValueCount(std::int64_t start, std::int64_t end, std::int32_t largestType,
                              bool triplet, Figures figures);

}  // namespace halvorn

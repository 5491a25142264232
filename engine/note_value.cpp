#include "engine/note_value.h"

namespace halvorn {

std::int64_t noteValueUnits(const NoteValue& value) {
    // 1/64 = 1/16 beat = 6 units; each exponent step doubles.
    const int shift = value.exponent + 6;
    std::int64_t units = shift >= 0 ? std::int64_t{6} << shift : 0;
    if (value.dotted) units = units / 2 * 3;
    if (value.triplet) units = units / 3;
    return units;
}

}  // namespace halvorn

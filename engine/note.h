#pragma once
// The working record of block rendering and the conversions of beat
// positions that every renderer shares.

#include <cstdint>

#include "midi/general_midi.h"

namespace halvorn {

struct Note {
    // Defaults are what a note keeps when its melody or velocity sequence has
    // no values: middle C, silent.
    std::int32_t pitch = kMiddleC;  // MIDI note number 0..127
    double velocity = 0.0;          // 0..1
    double start = 0.0;             // beats from the start of the block (or piece)
    double duration = 0.0;          // sounding length in beats

    bool operator==(const Note&) const = default;
};

// trunc(ppqn x beats), truncated toward zero, for a resolution of `ppqn`
// ticks per quarter note. Saturates at the int64 range (and gives 0 for NaN)
// so that no input can make the conversion undefined.
std::int64_t beatsToTicks(double beats, std::int32_t ppqn);

// True when x lies less than 0.00001 past a whole number.
bool isWholeBeat(double x);

}  // namespace halvorn

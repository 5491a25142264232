#pragma once
// Where a General MIDI drum key is written on a five-line percussion staff
// (the usual drum-set positions: bass drum in the bottom space, snare on the
// third space, toms around it, hi-hat above the staff, cymbals on and above
// the top line) and with which notehead: an x for cymbals and hi-hats.

#include <cstdint>
#include <string_view>

namespace halvorn {

struct DrumNotation {
    char step = 'B';  // display step and octave on a treble-positioned staff
    std::int32_t octave = 4;
    bool crossHead = false;  // cymbals and hi-hats
    std::string_view name;   // the General MIDI name of the key
};

// The notation of drum key `key` (0..127); keys outside the General MIDI
// drum map (35..81) sit on the middle line as "Percussion".
DrumNotation drumNotation(std::int32_t key);

}  // namespace halvorn

#include "engine/key_signature.h"

#include <algorithm>
#include <array>

namespace halvorn {
namespace {

// Indexed by key, C = 0 .. B = 11; the spelling with fewer accidentals.
constexpr std::array<std::int8_t, 12> kMajorSharps = {0, -5, 2, -3, 4, -1, 6, 1, -4, 3, -2, 5};
constexpr std::array<std::int8_t, 12> kMinorSharps = {-3, 4, -1, 6, 1, -4, 3, -2, 5, 0, -5, 2};

bool isMinorTable(const Scale& scale) {
    const auto minor = scaleTypeIntervals(kScaleMinor);
    return std::ranges::equal(scale.intervals, minor);
}

}  // namespace

KeySignature keySignatureOf(const Scale& scale) {
    const auto pitchClass = static_cast<std::size_t>(((scale.key % 12) + 12) % 12);
    if (isMinorTable(scale)) return {kMinorSharps[pitchClass], 1};
    return {kMajorSharps[pitchClass], 0};
}

void midiSongSetKeySignature(MidiSong& midi, const Scale& scale) {
    const KeySignature signature = keySignatureOf(scale);
    midi.keySharps = signature.sharps;
    midi.keyMinor = signature.minor;
}

}  // namespace halvorn

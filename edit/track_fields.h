#pragma once
// A track (the macrosequence of block i) as the Macrosequences page shows
// it, and the rules that move it to and from the Song.

#include <cstdint>

#include "edit/stretch_probabilities.h"
#include "model/song.h"

namespace halvorn {

inline constexpr std::int32_t kMaxTotalLength = 999;
inline constexpr std::int32_t kMaxDisplacement = 7;
inline constexpr std::int32_t kAlignChoices = 8;

struct TrackFields {
    std::int32_t alignIndex = 0;  // alignMeasures - 1
    std::int32_t seed = 1;
    bool muted = false;
    std::int32_t displacement = 0;  // measures
    // Slider positions p = 0..100: p = 0 at the top (volume and probability
    // 1) or the left end (panning 0).
    int volume = 0;
    int probability = 0;
    int panning = 50;
    StretchPositions stretch{0, 100, 100, 100};
};

// The track as shown. A grid a foreign file may hold beyond the "Align
// to:" list shows as its nearest entry, so a later save stores a grid the
// list offers.
TrackFields loadTrackFields(const Macrosequence& track);

// Clears the track (its placements go until the next arrangement) and stores
// the fields, the stretching probabilities normalized first (which `fields`
// then shows).
void storeTrackFields(TrackFields& fields, Macrosequence& track);

}  // namespace halvorn

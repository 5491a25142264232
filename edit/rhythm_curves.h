#pragma once
// The rhythm distribution of a block as the ten sliders "1/64" .. "8" show
// it: slider positions p = 0..100, p = 0 meaning probability 1. The curve
// presets fill it around a center note value; Normalize scales it to sum to
// about 1 in whole hundredths.

#include <array>
#include <cstdint>
#include <optional>

#include "model/song.h"

namespace halvorn {

// "Fixed Value", "Homogenous", "Gaussian 1" .. "3", "Accelerated 1" .. "3",
// "Slow 1" .. "3".
inline constexpr std::int32_t kCurveCount = 11;

using RhythmPositions = std::array<int, kNoteValueCount>;

// Note value k (0 = "1/64") lies within the Song's note range.
bool noteValueAllowed(const Song& song, std::int32_t k);

// `center` moved to the nearest note value of the Song's range.
std::int32_t clampCenterIndex(std::int32_t center, const Song& song);

// The positions of `curve` around `center` over the Song's note range,
// p = 100 - trunc(v × 100), before Normalize; nothing outside the range. A
// curve index out of 0..10 gives nothing.
std::optional<RhythmPositions> rhythmCurvePositions(std::int32_t curve, std::int32_t center,
                                                    const Song& song);

// Each p := 100 - trunc(v / sum × 100 + 0.5) with v = 1 - p / 100; left as
// it is when every v is 0. The half-up step may leave the sum a few
// hundredths away from 1.
void normalizeRhythmPositions(RhythmPositions& positions);

}  // namespace halvorn

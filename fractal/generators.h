#pragma once
// The three fractal sequence generators and the step that refills a
// microsequence's values. Each generator returns `count` values, or nothing
// when its input is unusable or memory ran out.

#include <cstdint>
#include <optional>
#include <vector>

#include "fractal/parameters.h"
#include "model/random.h"

namespace halvorn {

struct Microsequence;

using SequenceValues = std::vector<std::int32_t>;

// Line: escape times (1..512) of `count` points from point 1 toward point 2.
// Orbit: 32 x |z - c|^2 along the orbit of 0 under z^2 + c, restarting on escape.
std::optional<SequenceValues> generateMandelbrotPath(const MandelbrotParameters& parameters,
                                                     std::int32_t count);

// Digit sums in `base` of start, start + step, ... with 32-bit wraparound.
std::optional<SequenceValues> generateMorseThue(const MorseThueParameters& parameters,
                                                std::int32_t count);

// Voss sum of correlation + 1 generators, drawing from a random source seeded
// with the parameters' seed.
std::optional<SequenceValues> generateNoise(const NoiseParameters& parameters, std::int32_t count);
// The same with the draws after the seeding taken from `draws`.
std::optional<SequenceValues> generateNoise(const NoiseParameters& parameters, std::int32_t count,
                                            RandomDraws& draws);

// Refills `values` from type, period and parameters. Keeps the old values when
// period <= 0 or there are no parameters; otherwise the values are released
// and replaced by the generator's result (absent for an unusable block).
// Returns the new values, or null when none were made.
const SequenceValues* microsequenceCompute(Microsequence& microsequence);

}  // namespace halvorn

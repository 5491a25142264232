#pragma once
// Draws the randomising commands take, truncated toward zero as every one
// of them does.

#include <cstdint>

#include "model/random.h"

namespace halvorn {

// trunc(span × u) for the next draw u in [0, 1).
std::int32_t drawBelow(RandomDraws& draws, double span);

// A seed for a "Seed" field: trunc(1234567890 × u).
std::int32_t drawSeedValue(RandomDraws& draws);

}  // namespace halvorn

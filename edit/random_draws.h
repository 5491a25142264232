#pragma once
// Draws the randomising commands take from the random source, truncated
// toward zero as every one of them does.

#include <cstdint>

namespace halvorn {

// trunc(span × u) for the next draw u in [0, 1).
std::int32_t drawBelow(double span);

// A seed for a "Seed" field: trunc(1234567890 × u).
std::int32_t drawSeedValue();

}  // namespace halvorn

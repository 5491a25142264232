#pragma once
// The colours of the Mandelbrot display: 256 words 0x00RRGGBB indexed by the
// escape count mod 256, in eight bands of 32 entries.

#include <array>
#include <cstdint>

namespace halvorn {

using MandelbrotPalette = std::array<std::uint32_t, 256>;

MandelbrotPalette makeMandelbrotPalette();

// The colour of escape count `count` (1..512): entry count mod 256, so 256
// and 512 (the points that never escape) are black.
inline std::uint32_t paletteColour(const MandelbrotPalette& palette, std::int32_t count) {
    return palette[static_cast<std::uint32_t>(count) & 0xFFu];
}

}  // namespace halvorn

#pragma once
// Pictures are composed as 32-bit 0x00RRGGBB words; displays take them at
// their own colour depth. convertPixels packs the words into the 15-, 16-, 24-
// or 32-bit layout a display bitmap of that depth holds.

#include <cstddef>
#include <cstdint>
#include <span>

namespace halvorn {

// Bytes one pixel takes at `bitsPerPixel`: (bits + 1) div 8.
std::size_t bytesPerPixel(int bitsPerPixel);

// Whether convertPixels knows the depth: 15, 16, 24 or 32 bits.
bool isConvertibleDepth(int bitsPerPixel);

// Writes every word of `pixels` into `out` at `bitsPerPixel`:
//   15 bits: native 16-bit words (R >> 3) << 10 | (G >> 3) << 5 | (B >> 3)
//   16 bits: native 16-bit words (R >> 3) << 11 | (G >> 2) << 5 | (B >> 3)
//   24 bits: the bytes B, G, R of each word
//   32 bits: the words unchanged
// False, with nothing written, for any other depth or when `out` is shorter
// than pixels.size() * bytesPerPixel(bitsPerPixel).
bool convertPixels(std::span<const std::uint32_t> pixels, int bitsPerPixel,
                   std::span<std::uint8_t> out);

}  // namespace halvorn

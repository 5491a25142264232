#include "model/pixel_conversion.h"

#include <cstring>

namespace halvorn {
namespace {

constexpr std::uint32_t red(std::uint32_t word) {
    return (word >> 16) & 0xFFu;
}
constexpr std::uint32_t green(std::uint32_t word) {
    return (word >> 8) & 0xFFu;
}
constexpr std::uint32_t blue(std::uint32_t word) {
    return word & 0xFFu;
}

template <typename Pack>
void convertTo16Bits(std::span<const std::uint32_t> pixels, std::uint8_t* out, Pack pack) {
    for (const std::uint32_t word : pixels) {
        const auto packed = static_cast<std::uint16_t>(pack(word));
        std::memcpy(out, &packed, sizeof packed);
        out += sizeof packed;
    }
}

}  // namespace

std::size_t bytesPerPixel(int bitsPerPixel) {
    return bitsPerPixel > 0 ? static_cast<std::size_t>((bitsPerPixel + 1) / 8) : 0;
}

bool isConvertibleDepth(int bitsPerPixel) {
    return bitsPerPixel == 15 || bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32;
}

bool convertPixels(std::span<const std::uint32_t> pixels, int bitsPerPixel,
                   std::span<std::uint8_t> out) {
    if (!isConvertibleDepth(bitsPerPixel)) return false;
    if (out.size() / bytesPerPixel(bitsPerPixel) < pixels.size()) return false;
    std::uint8_t* target = out.data();
    switch (bitsPerPixel) {
        case 15:
            convertTo16Bits(pixels, target, [](std::uint32_t w) {
                return (red(w) >> 3) << 10 | (green(w) >> 3) << 5 | (blue(w) >> 3);
            });
            break;
        case 16:
            convertTo16Bits(pixels, target, [](std::uint32_t w) {
                return (red(w) >> 3) << 11 | (green(w) >> 2) << 5 | (blue(w) >> 3);
            });
            break;
        case 24:
            for (const std::uint32_t word : pixels) {
                *target++ = static_cast<std::uint8_t>(blue(word));
                *target++ = static_cast<std::uint8_t>(green(word));
                *target++ = static_cast<std::uint8_t>(red(word));
            }
            break;
        default:
            std::memcpy(target, pixels.data(), pixels.size_bytes());
            break;
    }
    return true;
}

}  // namespace halvorn

#include "fractal/mandelbrot_palette.h"

namespace halvorn {
namespace {

constexpr std::uint32_t rgb(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return red * 65536u + green * 256u + blue;
}

}  // namespace

MandelbrotPalette makeMandelbrotPalette() {
    MandelbrotPalette palette{};
    for (std::uint32_t i = 0; i < 32; ++i) {
        const std::uint32_t up = 8 * i;
        const std::uint32_t down = 8 * (31 - i);
        palette[i] = rgb(0, 0, up);
        palette[32 + i] = rgb(0, up, up);
        palette[64 + i] = rgb(0, 248, down);
        palette[96 + i] = rgb(up, down, 0);
        palette[128 + i] = rgb(248, 0, up);
        palette[160 + i] = rgb(248, up, down);
        // The sixth band carries a 1 in the top byte, which no display shows.
        palette[192 + i] = 0x01010000u + up;
        palette[224 + i] = rgb(down, down, down);
    }
    return palette;
}

}  // namespace halvorn

#pragma once
// The escape-time rule of the Mandelbrot set, shared by the line sequences
// and the editor's image: iterate z -> z^2 + c from 0 until |z|^2 > 4 or 512
// iterations. The operations and their order are fixed, so every caller gets
// the same bits.

#include <cstdint>

namespace halvorn {

inline constexpr std::int32_t kEscapeIterations = 512;
inline constexpr double kEscapeBailout = 4.0;

// 1..512 for any c; 512 when the orbit never left |z|^2 <= 4.
inline std::int32_t escapeTime(double cx, double cy) {
    double x = 0.0, y = 0.0, xx = 0.0, yy = 0.0;
    std::int32_t k = 0;
    while (!(xx + yy > kEscapeBailout) && k < kEscapeIterations) {
        y = 2.0 * x * y + cy;
        x = xx - yy + cx;
        xx = x * x;
        yy = y * y;
        ++k;
    }
    return k;
}

}  // namespace halvorn

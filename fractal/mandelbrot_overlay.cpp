#include "fractal/mandelbrot_overlay.h"

#include <cmath>
#include <cstdlib>

namespace halvorn {
namespace {

constexpr std::int32_t kMaxOrbitMarks = 64;  // orbit points 0..64
constexpr std::int64_t kFixedOne = 65536;

// Truncation toward zero that stays defined for any double: far-off or
// undefined places land well outside every image.
std::int32_t truncateToPixel(double value) {
    constexpr double kLimit = 1 << 30;
    if (std::isnan(value)) return -(1 << 30);
    if (value >= kLimit) return 1 << 30;
    if (value <= -kLimit) return -(1 << 30);
    return static_cast<std::int32_t>(value);
}

void invertCross(const PixelImage& image, std::int32_t column, std::int32_t row) {
    invertPixel(image, column, row);
    invertPixel(image, column - 1, row);
    invertPixel(image, column + 1, row);
    invertPixel(image, column, row - 1);
    invertPixel(image, column, row + 1);
}

// Steps along `major` from the start point; `minor` follows in 16.16.
template <typename Mark>
void fixedPointSteps(std::int32_t majorStart, std::int32_t minorStart, std::int32_t minorEnd,
                     std::int64_t steps, std::int64_t minorSpan, Mark mark) {
    std::int64_t fixed = static_cast<std::int64_t>(minorStart) * kFixedOne;
    std::int64_t slope = minorSpan * kFixedOne;
    if (minorStart > minorEnd) slope = -slope;
    slope /= steps;
    std::int64_t major = majorStart;
    for (std::int64_t i = 0; i < steps; ++i) {
        mark(major, fixed >> 16);
        fixed += slope;
        ++major;
    }
}

}  // namespace

void invertPixel(const PixelImage& image, std::int32_t column, std::int32_t row) {
    if (column < 0 || column >= image.width || row < 0 || row >= image.height) return;
    const auto index = static_cast<std::size_t>(row) * static_cast<std::size_t>(image.width) +
                       static_cast<std::size_t>(column);
    if (index < image.pixels.size()) image.pixels[index] ^= 0xFFFFFFu;
}

void invertRectangleOutline(const PixelImage& image, const PixelRect& rect) {
    for (std::int32_t c = rect.left; c <= rect.right; ++c) {
        invertPixel(image, c, rect.top);
        invertPixel(image, c, rect.bottom);
    }
    for (std::int32_t r = rect.top + 1; r <= rect.bottom - 1; ++r) {
        invertPixel(image, rect.left, r);
        invertPixel(image, rect.right, r);
    }
}

void invertSquare(const PixelImage& image, PixelPoint centre) {
    for (std::int32_t dr = -1; dr <= 1; ++dr) {
        for (std::int32_t dc = -1; dc <= 1; ++dc) {
            invertPixel(image, centre.column + dc, centre.row + dr);
        }
    }
}

void invertLine(const PixelImage& image, PixelPoint point1, PixelPoint point2) {
    // The 1 goes inside the absolute value: that is how the stored paths
    // were always drawn.
    const std::int64_t dc =
        std::llabs(static_cast<std::int64_t>(point1.column) - point2.column + 1);
    const std::int64_t dr = std::llabs(static_cast<std::int64_t>(point1.row) - point2.row + 1);
    const auto clip = [](std::int64_t v) {
        return static_cast<std::int32_t>(v < -(1 << 30) ? -(1 << 30) : v > (1 << 30) ? 1 << 30 : v);
    };
    if (dc > dr) {
        const bool fromFirst = point1.column <= point2.column;
        const PixelPoint& start = fromFirst ? point1 : point2;
        const PixelPoint& end = fromFirst ? point2 : point1;
        fixedPointSteps(start.column, start.row, end.row, dc, dr,
                        [&](std::int64_t column, std::int64_t row) {
                            invertPixel(image, clip(column), clip(row));
                        });
    } else {
        const bool fromFirst = point1.row <= point2.row;
        const PixelPoint& start = fromFirst ? point1 : point2;
        const PixelPoint& end = fromFirst ? point2 : point1;
        fixedPointSteps(start.row, start.column, end.column, dr == 0 ? 1 : dr, dc,
                        [&](std::int64_t row, std::int64_t column) {
                            invertPixel(image, clip(column), clip(row));
                        });
    }
}

MandelbrotOrbit orbitMarks(std::int32_t width, std::int32_t height, const PlaneView& view,
                           PixelPoint point1) {
    const double sx = width / (view.maxX - view.minX);
    const double sy = height / (view.maxY - view.minY);
    const auto pixelOf = [&](double x, double y) {
        return PixelPoint{truncateToPixel((x - view.minX) * sx),
                          truncateToPixel((y - view.minY) * sy)};
    };
    MandelbrotOrbit orbit;
    const double cx = point1.column / sx + view.minX;
    const double cy = point1.row / sy + view.minY;
    orbit.c = {{cx, cy}, pixelOf(cx, cy)};
    double zx = cx, zy = cy;
    for (std::int32_t n = 0; zx * zx + zy * zy <= 4.0 && n <= kMaxOrbitMarks; ++n) {
        orbit.points.push_back({{zx, zy}, pixelOf(zx, zy)});
        const double nextX = zx * zx - zy * zy + cx;
        zy = 2.0 * zx * zy + cy;
        zx = nextX;
    }
    return orbit;
}

void invertOrbit(const PixelImage& image, const PlaneView& view, PixelPoint point1) {
    const MandelbrotOrbit orbit = orbitMarks(image.width, image.height, view, point1);
    const auto [column, row] = orbit.c.pixel;
    invertPixel(image, column - 1, row - 1);
    invertPixel(image, column + 1, row - 1);
    invertPixel(image, column - 1, row + 1);
    invertPixel(image, column + 1, row + 1);
    for (const OrbitPoint& point : orbit.points)
        invertCross(image, point.pixel.column, point.pixel.row);
}

}  // namespace halvorn

#pragma once
// What the Mandelbrot editor draws over its image: the zoom rectangle, the
// orbit of point 1 and the line between the two points. Every mark inverts
// pixels (XOR 0xFFFFFF), so drawing the same overlay twice restores the
// image; marks outside the image are skipped.

#include <cstdint>
#include <span>
#include <vector>

namespace halvorn {

struct PixelPoint {
    std::int32_t column = 0;
    std::int32_t row = 0;
    bool operator==(const PixelPoint&) const = default;
};

// Inclusive pixel coordinates.
struct PixelRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    bool operator==(const PixelRect&) const = default;
};

// The plane region an image shows.
struct PlaneView {
    double minX = 0.0;
    double minY = 0.0;
    double maxX = 0.0;
    double maxY = 0.0;
    bool operator==(const PlaneView&) const = default;
};

struct PlanePoint {
    double x = 0.0;
    double y = 0.0;
    bool operator==(const PlanePoint&) const = default;
};

// A row-major W × H image of 0x00RRGGBB words.
struct PixelImage {
    std::span<std::uint32_t> pixels;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

void invertPixel(const PixelImage& image, std::int32_t column, std::int32_t row);

// The outline: the top and bottom rows whole, the side columns between them.
void invertRectangleOutline(const PixelImage& image, const PixelRect& rect);

// The 3 × 3 square centred on `centre`.
void invertSquare(const PixelImage& image, PixelPoint centre);

// The line from one point to the other in 16.16 fixed point, stepping along
// the longer axis from the point nearer the origin on that axis.
void invertLine(const PixelImage& image, PixelPoint point1, PixelPoint point2);

// The orbit of 0 under z -> z^2 + c, c being point 1's place in `view`: c's
// pixel gets its four diagonal neighbours marked, and each orbit point while
// |z|^2 <= 4, at most 65 of them from c itself on, a five-pixel cross.
void invertOrbit(const PixelImage& image, const PlaneView& view, PixelPoint point1);

// What invertOrbit marks on an image of `width` × `height`: c (point 1's
// place in `view`) and the orbit points from c on, each with the pixel it
// falls on (marks off the image included).
struct OrbitPoint {
    PlanePoint place;
    PixelPoint pixel;
};
struct MandelbrotOrbit {
    OrbitPoint c;
    std::vector<OrbitPoint> points;  // at most 65
};
MandelbrotOrbit orbitMarks(std::int32_t width, std::int32_t height, const PlaneView& view,
                           PixelPoint point1);

}  // namespace halvorn

#pragma once
// The escape-time image of a view of the plane: pixel (c, r) stands for
// x = minX + c·dx, y = minY + r·dy with dx = (maxX - minX) / width and
// dy = (maxY - minY) / height, both coordinates accumulated by repeated
// addition as the plain loop does, and holds the colour of escapeTime(x, y).
//
// The fast path splits the rows among threads and runs the widest vector
// kernel; its counts equal the plain loop's bit for bit.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "fractal/escape_kernels.h"
#include "fractal/mandelbrot_palette.h"

namespace halvorn {

struct EscapeGrid {
    double minX = 0.0;
    double minY = 0.0;
    double maxX = 0.0;
    double maxY = 0.0;
    std::int32_t width = 0;
    std::int32_t height = 0;

    std::size_t pixelCount() const;
};

// The x of every column and the y of every row, by repeated addition.
std::vector<double> gridColumns(const EscapeGrid& grid);
std::vector<double> gridRows(const EscapeGrid& grid);

struct EscapeDrawOptions {
    SimdLevel level = widestSimdLevel();
    std::int32_t threads = 0;  // 0: one per processor core
    // Called on the calling thread with the number of rows finished so far,
    // rising to height; never from a worker.
    std::function<void(std::int32_t rowsDone)> progress;
};

// The plain one-thread loop, point by point: the reference for the fast path.
void escapeCountsScalar(const EscapeGrid& grid, std::span<std::int32_t> counts);
void drawEscapeImageScalar(const EscapeGrid& grid, const MandelbrotPalette& palette,
                           std::span<std::uint32_t> image);

// The fast path. `counts` and `image` hold width × height entries, row-major;
// nothing is written when they are shorter.
void escapeCounts(const EscapeGrid& grid, std::span<std::int32_t> counts,
                  const EscapeDrawOptions& options = {});
void drawEscapeImage(const EscapeGrid& grid, const MandelbrotPalette& palette,
                     std::span<std::uint32_t> image, const EscapeDrawOptions& options = {});

}  // namespace halvorn

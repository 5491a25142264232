#include "fractal/escape_image.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "fractal/escape_time.h"

namespace halvorn {
namespace {

std::vector<double> accumulate(double start, double stop, std::int32_t count) {
    std::vector<double> coordinates(static_cast<std::size_t>(std::max(count, 0)));
    const double step = (stop - start) / count;
    double value = start;
    for (double& coordinate : coordinates) {
        coordinate = value;
        value += step;
    }
    return coordinates;
}

bool fits(const EscapeGrid& grid, std::size_t size) {
    return grid.width > 0 && grid.height > 0 && size >= grid.pixelCount();
}

// The plain loop, handing each count to `store` in row-major order.
template <typename Store>
void scalarLoop(const EscapeGrid& grid, Store store) {
    const double dx = (grid.maxX - grid.minX) / grid.width;
    const double dy = (grid.maxY - grid.minY) / grid.height;
    std::size_t pixel = 0;
    double y = grid.minY;
    for (std::int32_t r = 0; r < grid.height; ++r) {
        double x = grid.minX;
        for (std::int32_t c = 0; c < grid.width; ++c) {
            store(pixel++, escapeTime(x, y));
            x += dx;
        }
        y += dy;
    }
}

std::int32_t workerCount(const EscapeDrawOptions& options, std::int32_t rows) {
    std::int32_t threads = options.threads;
    if (threads <= 0) threads = static_cast<std::int32_t>(std::thread::hardware_concurrency());
    return std::clamp(threads, std::int32_t{1}, rows);
}

// Rows are handed out one at a time, so threads that draw cheap rows take
// more of them. `drawRow(row, counts)` gets the counts of one row.
class RowScheduler {
  public:
    RowScheduler(const EscapeGrid& grid, const EscapeDrawOptions& options)
        : grid_(grid),
          kernel_(escapeRowKernel(options.level)),
          xs_(gridColumns(grid)),
          ys_(gridRows(grid)),
          progress_(options.progress) {}

    template <typename DrawRow>
    void run(std::int32_t workers, DrawRow drawRow) {
        if (workers > 1 && runThreads(workers, drawRow)) return;
        std::vector<std::int32_t> counts(static_cast<std::size_t>(grid_.width));
        for (std::int32_t row = 0; row < grid_.height; ++row) {
            kernel_(xs_.data(), grid_.width, ys_[row], counts.data());
            drawRow(row, counts.data());
            if (progress_) progress_(row + 1);
        }
    }

  private:
    template <typename DrawRow>
    void work(DrawRow& drawRow) {
        std::vector<std::int32_t> counts(static_cast<std::size_t>(grid_.width));
        for (std::int32_t row = nextRow_++; row < grid_.height; row = nextRow_++) {
            kernel_(xs_.data(), grid_.width, ys_[row], counts.data());
            drawRow(row, counts.data());
            const std::lock_guard lock(mutex_);
            ++rowsDone_;
            rowFinished_.notify_one();
        }
    }

    // False when not a single thread could be started; the caller then
    // draws every row itself.
    template <typename DrawRow>
    bool runThreads(std::int32_t workers, DrawRow& drawRow) {
        std::vector<std::jthread> threads;
        try {
            for (std::int32_t i = 0; i < workers; ++i) {
                threads.emplace_back([this, &drawRow] { work(drawRow); });
            }
        } catch (const std::system_error&) {
            if (threads.empty()) return false;
        }
        std::int32_t reported = 0;
        std::unique_lock lock(mutex_);
        while (reported < grid_.height) {
            rowFinished_.wait(lock, [&] { return rowsDone_ > reported; });
            reported = rowsDone_;
            if (!progress_) continue;
            lock.unlock();
            progress_(reported);
            lock.lock();
        }
        return true;
    }

    const EscapeGrid& grid_;
    EscapeRowKernel kernel_;
    std::vector<double> xs_;
    std::vector<double> ys_;
    const std::function<void(std::int32_t)>& progress_;
    std::atomic<std::int32_t> nextRow_{0};
    std::mutex mutex_;
    std::condition_variable rowFinished_;
    std::int32_t rowsDone_ = 0;
};

}  // namespace

std::size_t EscapeGrid::pixelCount() const {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

std::vector<double> gridColumns(const EscapeGrid& grid) {
    return accumulate(grid.minX, grid.maxX, grid.width);
}

std::vector<double> gridRows(const EscapeGrid& grid) {
    return accumulate(grid.minY, grid.maxY, grid.height);
}

void escapeCountsScalar(const EscapeGrid& grid, std::span<std::int32_t> counts) {
    if (!fits(grid, counts.size())) return;
    scalarLoop(grid, [&](std::size_t pixel, std::int32_t count) { counts[pixel] = count; });
}

void drawEscapeImageScalar(const EscapeGrid& grid, const MandelbrotPalette& palette,
                           std::span<std::uint32_t> image) {
    if (!fits(grid, image.size())) return;
    scalarLoop(grid, [&](std::size_t pixel, std::int32_t count) {
        image[pixel] = paletteColour(palette, count);
    });
}

void escapeCounts(const EscapeGrid& grid, std::span<std::int32_t> counts,
                  const EscapeDrawOptions& options) {
    if (!fits(grid, counts.size())) return;
    const auto width = static_cast<std::size_t>(grid.width);
    RowScheduler(grid, options)
        .run(workerCount(options, grid.height),
             [&](std::int32_t row, const std::int32_t* rowCounts) {
                 std::copy(rowCounts, rowCounts + width, counts.begin() + row * width);
             });
}

void drawEscapeImage(const EscapeGrid& grid, const MandelbrotPalette& palette,
                     std::span<std::uint32_t> image, const EscapeDrawOptions& options) {
    if (!fits(grid, image.size())) return;
    const auto width = static_cast<std::size_t>(grid.width);
    RowScheduler(grid, options)
        .run(workerCount(options, grid.height),
             [&](std::int32_t row, const std::int32_t* rowCounts) {
                 std::uint32_t* pixels = image.data() + static_cast<std::size_t>(row) * width;
                 for (std::size_t c = 0; c < width; ++c)
                     pixels[c] = paletteColour(palette, rowCounts[c]);
             });
}

}  // namespace halvorn

// The Mandelbrot editor's image: the plain one-thread loop against the
// threaded vector path the editor runs, on a 480 x 360 image.

#include <benchmark/benchmark.h>

#include <vector>

#include "fractal/escape_image.h"

namespace {

using halvorn::EscapeGrid;

constexpr std::int32_t kWidth = 480;
constexpr std::int32_t kHeight = 360;

// The editor's default view, and a view wholly inside the set, where every
// pixel runs all 512 iterations.
constexpr EscapeGrid kDefaultView{-2.333333, -2.0, 2.0, 2.0, kWidth, kHeight};
constexpr EscapeGrid kInteriorView{-0.3, -0.15, 0.1, 0.15, kWidth, kHeight};

// Draws `grid` again and again, with the plain loop or the fast path.
void drawSet(benchmark::State& state, const EscapeGrid& grid, bool fast) {
    const auto palette = halvorn::makeMandelbrotPalette();
    std::vector<std::uint32_t> image(grid.pixelCount());
    for (auto _ : state) {
        if (fast)
            halvorn::drawEscapeImage(grid, palette, image);
        else
            halvorn::drawEscapeImageScalar(grid, palette, image);
        benchmark::DoNotOptimize(image.data());
    }
    if (fast) state.SetLabel(halvorn::simdLevelName(halvorn::widestSimdLevel()));
}

BENCHMARK_CAPTURE(drawSet, scalar_default, kDefaultView, false)
    ->Name("BM_DrawSetScalar/default")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(drawSet, scalar_interior, kInteriorView, false)
    ->Name("BM_DrawSetScalar/interior")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(drawSet, default, kDefaultView, true)
    ->Name("BM_DrawSet/default")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(drawSet, interior, kInteriorView, true)
    ->Name("BM_DrawSet/interior")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

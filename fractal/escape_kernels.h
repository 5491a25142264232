#pragma once
// Row kernels of the escape-time image: the escape counts of a row of points,
// computed one point at a time or several at a time with the processor's
// vector instructions. Every kernel gives exactly the counts of escapeTime:
// the same operations in the same order on each point, and no fused
// multiply-add. The instruction set is chosen at run time, so one binary runs
// on any x86-64; elsewhere the plain kernel is used.

#include <cstdint>
#include <vector>

namespace halvorn {

enum class SimdLevel { Scalar, Sse2, Avx2, Avx512 };

const char* simdLevelName(SimdLevel level);

// The levels this processor runs, narrowest (Scalar) first.
std::vector<SimdLevel> supportedSimdLevels();
SimdLevel widestSimdLevel();

// Writes escapeTime(xs[i], y) into counts[i] for i < width.
using EscapeRowKernel = void (*)(const double* xs, std::int32_t width, double y,
                                 std::int32_t* counts);

// The kernel of `level`; the Scalar kernel for a level the processor lacks.
EscapeRowKernel escapeRowKernel(SimdLevel level);

}  // namespace halvorn

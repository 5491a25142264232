#include "fractal/escape_kernels.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "fractal/escape_time.h"

namespace halvorn {
namespace {

void escapeRowScalar(const double* xs, std::int32_t width, double y, std::int32_t* counts) {
    for (std::int32_t c = 0; c < width; ++c) counts[c] = escapeTime(xs[c], y);
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define HALVORN_X86_KERNELS 1

// How many iterations run between two checks whether any lane is still
// iterating. A lane that has escaped stops counting, so extra iterations never
// change a result; they only save the cost of the check.
constexpr int kIterationsPerCheck = 8;
static_assert(kEscapeIterations % kIterationsPerCheck == 0);

// GCC vector types of 2, 4 and 8 lanes (an attribute with a size that
// depends on a template argument is not applied, so each width is spelt out).
template <int Lanes>
struct LaneTypes;
template <>
struct LaneTypes<2> {
    typedef double Vector __attribute__((vector_size(16)));
    typedef std::int64_t Mask __attribute__((vector_size(16)));
};
template <>
struct LaneTypes<4> {
    typedef double Vector __attribute__((vector_size(32)));
    typedef std::int64_t Mask __attribute__((vector_size(32)));
};
template <>
struct LaneTypes<8> {
    typedef double Vector __attribute__((vector_size(64)));
    typedef std::int64_t Mask __attribute__((vector_size(64)));
};

// Escape counts of `kGroups` × `Lanes` points at once, each lane running
// escapeTime's iteration. A lane stays active while every test so far has
// passed, exactly as the plain loop keeps iterating, and its count grows only
// while it is active. The groups are independent, so the processor overlaps
// their latencies. The body is written with GCC vector types and inlined into
// functions compiled for each instruction set, which carry it out at their
// own width.
constexpr int kGroups = 2;

template <int Lanes>
[[gnu::always_inline]] inline void escapeLanes(const double* xs, double y, std::int32_t* counts,
                                               int used) {
    using Vector = typename LaneTypes<Lanes>::Vector;
    using Mask = typename LaneTypes<Lanes>::Mask;

    const Vector cy = Vector{} + y;
    const Vector two = Vector{} + 2.0;
    const Vector bailout = Vector{} + kEscapeBailout;
    Vector cx[kGroups], x[kGroups], yv[kGroups], xx[kGroups], yy[kGroups];
    Mask k[kGroups], active[kGroups];
    for (int g = 0; g < kGroups; ++g) {
        std::memcpy(&cx[g], xs + g * Lanes, sizeof cx[g]);
        x[g] = yv[g] = xx[g] = yy[g] = Vector{};
        k[g] = Mask{};
        active[g] = ~Mask{};
    }
    for (int done = 0; done < kEscapeIterations; done += kIterationsPerCheck) {
        for (int step = 0; step < kIterationsPerCheck; ++step) {
            for (int g = 0; g < kGroups; ++g) {
                yv[g] = two * x[g] * yv[g] + cy;
                x[g] = xx[g] - yy[g] + cx[g];
                xx[g] = x[g] * x[g];
                yy[g] = yv[g] * yv[g];
                k[g] -= active[g];  // active lanes hold -1
                active[g] &= ~(xx[g] + yy[g] > bailout);
            }
        }
        Mask any = active[0];
        for (int g = 1; g < kGroups; ++g) any |= active[g];
        bool anyActive = false;
        for (int lane = 0; lane < Lanes; ++lane) anyActive |= any[lane] != 0;
        if (!anyActive) break;
    }
    for (int lane = 0; lane < used; ++lane) {
        counts[lane] = static_cast<std::int32_t>(k[lane / Lanes][lane % Lanes]);
    }
}

// A row in groups of kGroups × Lanes points; the last, partial group repeats
// its last point in the unused lanes and keeps only the counts it needs.
template <int Lanes>
[[gnu::always_inline]] inline void escapeRowLanes(const double* xs, std::int32_t width, double y,
                                                  std::int32_t* counts) {
    constexpr int kStride = kGroups * Lanes;
    std::int32_t c = 0;
    for (; c + kStride <= width; c += kStride) escapeLanes<Lanes>(xs + c, y, counts + c, kStride);
    if (c == width) return;
    std::array<double, kStride> tail;
    const int used = width - c;
    std::copy(xs + c, xs + width, tail.begin());
    std::fill(tail.begin() + used, tail.end(), xs[width - 1]);
    escapeLanes<Lanes>(tail.data(), y, counts + c, used);
}

void escapeRowSse2(const double* xs, std::int32_t width, double y, std::int32_t* counts) {
    escapeRowLanes<2>(xs, width, y, counts);
}

[[gnu::target("avx2")]] void escapeRowAvx2(const double* xs, std::int32_t width, double y,
                                           std::int32_t* counts) {
    escapeRowLanes<4>(xs, width, y, counts);
}

[[gnu::target("avx512f")]] void escapeRowAvx512(const double* xs, std::int32_t width, double y,
                                                std::int32_t* counts) {
    escapeRowLanes<8>(xs, width, y, counts);
}

bool processorHas(SimdLevel level) {
    __builtin_cpu_init();
    switch (level) {
        case SimdLevel::Scalar:
        case SimdLevel::Sse2:
            return true;  // part of every x86-64
        case SimdLevel::Avx2:
            return __builtin_cpu_supports("avx2");
        case SimdLevel::Avx512:
            return __builtin_cpu_supports("avx512f");
    }
    return false;
}

#else

bool processorHas(SimdLevel level) {
    return level == SimdLevel::Scalar;
}

#endif

}  // namespace

const char* simdLevelName(SimdLevel level) {
    switch (level) {
        case SimdLevel::Scalar:
            return "scalar";
        case SimdLevel::Sse2:
            return "SSE2";
        case SimdLevel::Avx2:
            return "AVX2";
        case SimdLevel::Avx512:
            return "AVX-512";
    }
    return "unknown";
}

std::vector<SimdLevel> supportedSimdLevels() {
    std::vector<SimdLevel> levels;
    for (const SimdLevel level :
         {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2, SimdLevel::Avx512}) {
        if (processorHas(level)) levels.push_back(level);
    }
    return levels;
}

SimdLevel widestSimdLevel() {
    static const SimdLevel widest = supportedSimdLevels().back();
    return widest;
}

EscapeRowKernel escapeRowKernel(SimdLevel level) {
    if (!processorHas(level)) return escapeRowScalar;
    switch (level) {
#ifdef HALVORN_X86_KERNELS
        case SimdLevel::Sse2:
            return escapeRowSse2;
        case SimdLevel::Avx2:
            return escapeRowAvx2;
        case SimdLevel::Avx512:
            return escapeRowAvx512;
#endif
        default:
            return escapeRowScalar;
    }
}

}  // namespace halvorn

#include "fractal/generators.h"

#include <algorithm>
#include <array>
#include <new>

#include "fractal/escape_time.h"
#include "model/random.h"
#include "model/song.h"

namespace halvorn {
namespace {

SequenceValues mandelbrotLine(const MandelbrotParameters& p, std::int32_t count) {
    SequenceValues values(static_cast<std::size_t>(count));
    const double stepX = (p.point2X - p.point1X) / count;
    const double stepY = (p.point2Y - p.point1Y) / count;
    double cx = p.point1X, cy = p.point1Y;
    for (auto& value : values) {
        value = escapeTime(cx, cy);
        cx += stepX;  // running sums, as the stored sequences were made
        cy += stepY;
    }
    return values;
}

SequenceValues mandelbrotOrbit(const MandelbrotParameters& p, std::int32_t count) {
    SequenceValues values(static_cast<std::size_t>(count));
    const double cx = p.point1X, cy = p.point1Y;
    double x = 0.0, y = 0.0, xx = 0.0, yy = 0.0;
    for (auto& value : values) {
        if (xx + yy > kEscapeBailout) x = y = xx = yy = 0.0;
        y = 2.0 * x * y + cy;
        x = xx - yy + cx;
        xx = x * x;
        yy = y * y;
        const double dx = x - cx, dy = y - cy;
        value = static_cast<std::int32_t>(32.0 * (dx * dx + dy * dy));
    }
    return values;
}

std::int32_t digitSum(std::int32_t a, std::int32_t base) {
    std::int32_t sum = 0;
    for (std::int32_t b = a; b > 0; b /= base) sum += b % base;
    return sum;
}

template <typename Parameters, typename Generator>
std::optional<SequenceValues> runDecoded(const ParameterBytes& bytes, std::int32_t count,
                                         Generator generator) {
    const auto parameters = Parameters::fromBytes(bytes);
    if (!parameters) return std::nullopt;
    return generator(*parameters, count);
}

}  // namespace

std::optional<SequenceValues> generateMandelbrotPath(const MandelbrotParameters& parameters,
                                                     std::int32_t count) {
    if (count <= 0) return std::nullopt;
    try {
        return parameters.pathKind == MandelbrotParameters::kOrbit
                   ? mandelbrotOrbit(parameters, count)
                   : mandelbrotLine(parameters, count);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<SequenceValues> generateMorseThue(const MorseThueParameters& parameters,
                                                std::int32_t count) {
    if (parameters.base < 2 || parameters.start < 0 || parameters.step <= 0 || count <= 0)
        return std::nullopt;
    try {
        SequenceValues values(static_cast<std::size_t>(count));
        std::uint32_t a = static_cast<std::uint32_t>(parameters.start);
        for (auto& value : values) {
            value = digitSum(static_cast<std::int32_t>(a), parameters.base);
            a += static_cast<std::uint32_t>(parameters.step);  // wraps like a 32-bit register
        }
        return values;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<SequenceValues> generateNoise(const NoiseParameters& parameters, std::int32_t count) {
    RandomSource draws(parameters.seed);
    return generateNoise(parameters, count, draws);
}

std::optional<SequenceValues> generateNoise(const NoiseParameters& parameters, std::int32_t count,
                                            RandomDraws& draws) {
    if (parameters.correlation < 0 || count <= 0) return std::nullopt;
    try {
        // Generator j redraws when i mod 2^j = 0; for j >= 31 that is only at
        // i = 0, so those generators fold into one constant drawn up front.
        const std::int64_t generatorCount = static_cast<std::int64_t>(parameters.correlation) + 1;
        const std::int64_t varying = std::min<std::int64_t>(generatorCount, 31);
        SequenceValues values(static_cast<std::size_t>(count), 0);
        std::array<std::uint32_t, 31> g{};
        std::uint32_t constantPart = 0;
        const auto draw = [&] {
            return static_cast<std::uint32_t>(
                static_cast<std::int32_t>(draws.next() * parameters.range));
        };
        for (std::int32_t i = 0; i < count; ++i) {
            std::uint32_t sum = 0;  // 32-bit wraparound, like the stored sequences
            for (std::int64_t j = 0; j < varying; ++j) {
                if (i % (std::int64_t{1} << j) == 0) g[j] = draw();
                sum += g[j];
            }
            if (i == 0)
                for (std::int64_t j = varying; j < generatorCount; ++j) constantPart += draw();
            values[i] = static_cast<std::int32_t>(sum + constantPart);
        }
        return values;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

const SequenceValues* microsequenceCompute(Microsequence& microsequence) {
    if (microsequence.period <= 0 || !microsequence.parameters) return nullptr;
    microsequence.values.reset();
    const ParameterBytes& bytes = *microsequence.parameters;
    const std::int32_t count = microsequence.period;
    switch (microsequence.fractalType) {
        case kFractalMandelbrot:
            microsequence.values =
                runDecoded<MandelbrotParameters>(bytes, count, generateMandelbrotPath);
            break;
        case kFractalMorseThue:
            microsequence.values = runDecoded<MorseThueParameters>(bytes, count, generateMorseThue);
            break;
        case kFractalNoise:
            microsequence.values = runDecoded<NoiseParameters>(
                bytes, count, [](const NoiseParameters& parameters, std::int32_t values) {
                    return generateNoise(parameters, values);
                });
            break;
        default:
            break;
    }
    return microsequence.values ? &*microsequence.values : nullptr;
}

}  // namespace halvorn

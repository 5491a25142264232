#pragma once
// The parameter blocks of the three fractal generators and their exact
// little-endian byte forms, as stored in documents.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "model/parameter_block.h"

namespace halvorn {

// Texts of the "Fractal:" list, in type order.
inline constexpr std::array<std::string_view, 4> kFractalTypeNames = {"Mandelbrot", "Morse-Thue",
                                                                      "Noise", ""};

// Texts of the "Correlation:" list, in `correlation` order.
inline constexpr std::array<std::string_view, 5> kCorrelationNames = {
    "None (White Noise)", "Little", "Medium (Pink Noise)", "High", "Very High"};

struct MandelbrotParameters {
    static constexpr std::size_t kByteSize = kMandelbrotParameterSize;
    static constexpr std::int32_t kOrbit = 0;
    static constexpr std::int32_t kLine = 1;

    double viewMinX = 0.0;
    double viewMinY = 0.0;
    double viewMaxX = 0.0;
    double viewMaxY = 0.0;
    double point1X = 0.0;
    double point1Y = 0.0;
    double point2X = 0.0;
    double point2Y = 0.0;
    std::int32_t pathKind = kOrbit;  // 0 orbit, any other value line

    ParameterBytes toBytes() const;  // the 4 padding bytes are written as zero
    static std::optional<MandelbrotParameters> fromBytes(std::span<const std::uint8_t> bytes);
    bool operator==(const MandelbrotParameters&) const = default;
};

struct MorseThueParameters {
    static constexpr std::size_t kByteSize = kMorseThueParameterSize;

    std::int32_t base = 2;
    std::int32_t start = 0;
    std::int32_t step = 1;

    ParameterBytes toBytes() const;
    static std::optional<MorseThueParameters> fromBytes(std::span<const std::uint8_t> bytes);
    bool operator==(const MorseThueParameters&) const = default;
};

struct NoiseParameters {
    static constexpr std::size_t kByteSize = kNoiseParameterSize;

    std::int32_t seed = 1;
    std::int32_t correlation = 0;  // index of the "Correlation:" list, 0..4
    std::int32_t range = 0;        // 0..255

    ParameterBytes toBytes() const;
    static std::optional<NoiseParameters> fromBytes(std::span<const std::uint8_t> bytes);
    bool operator==(const NoiseParameters&) const = default;
};

}  // namespace halvorn

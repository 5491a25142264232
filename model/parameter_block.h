#pragma once
// A microsequence's parameter block as the document stores it: raw bytes
// whose size follows the fractal type. What the bytes mean belongs to the
// generators (fractal/parameters.h); the document reader knows only the
// sizes and the one field it bounds.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace halvorn {

enum FractalType : std::int32_t {
    kFractalMandelbrot = 0,
    kFractalMorseThue = 1,
    kFractalNoise = 2,
    kFractalPlaceholder = 3,  // an empty entry: no parameters, no values
};

// A parameter block in its stored byte form.
using ParameterBytes = std::vector<std::uint8_t>;

inline constexpr std::size_t kMandelbrotParameterSize = 72;
inline constexpr std::size_t kMorseThueParameterSize = 12;
inline constexpr std::size_t kNoiseParameterSize = 12;

// 72 for Mandelbrot, 12 for Morse-Thue and Noise, 0 for every other type.
constexpr std::int32_t parameterBlockSize(std::int32_t fractalType) {
    switch (fractalType) {
        case kFractalMandelbrot:
            return static_cast<std::int32_t>(kMandelbrotParameterSize);
        case kFractalMorseThue:
            return static_cast<std::int32_t>(kMorseThueParameterSize);
        case kFractalNoise:
            return static_cast<std::int32_t>(kNoiseParameterSize);
        default:
            return 0;
    }
}

// The noise block's correlation (little-endian int32 at this offset): the
// index of the "Correlation:" list, and the number of generators the noise
// sums less one, so the reader holds it to the list.
inline constexpr std::size_t kNoiseCorrelationOffset = 4;
inline constexpr std::int32_t kMaxNoiseCorrelation = 4;

}  // namespace halvorn

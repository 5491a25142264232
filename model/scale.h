#pragma once
// The Scale maps melody degrees to semitone offsets; the scale-type and key
// tables live here so every page lists them the same way.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace halvorn {

struct Scale {
    std::vector<std::int32_t> intervals;  // ascending from 0; empty when no table is set
    std::int32_t intervalCount = 0;       // 1..12, 0 when no table is set
    std::int32_t key = 0;                 // 0..11, added to every pitch
};

enum ScaleType : std::int32_t {
    kScaleChromatic = 0,
    kScaleMajor = 1,
    kScaleMinor = 2,
    kScalePentatonic = 3,
};

inline constexpr std::array<std::string_view, 4> kScaleTypeNames = {"Chromatic", "Major", "Minor",
                                                                    "Pentatonic"};

inline constexpr std::array<std::string_view, 12> kKeyNames = {"C",  "C#", "D",  "D#", "E",  "F",
                                                               "F#", "G",  "G#", "A",  "A#", "B"};

// The interval table of a scale type; empty for a type outside 0..3.
std::span<const std::int32_t> scaleTypeIntervals(std::int32_t scaleType);

// Replaces table, count and key. A count outside 1..12 (or no table) leaves
// the Scale empty with key 0.
void scaleSet(Scale& scale, std::span<const std::int32_t> table, std::int32_t key);

// As scaleSet, keeping the key.
void scaleSetIntervals(Scale& scale, std::span<const std::int32_t> table);

void scaleSetKey(Scale& scale, std::int32_t key);

// Semitone offset of degree d (any integer, negative included); octaves round
// toward minus infinity. Returns the key alone when the Scale has no table.
std::int32_t scaleDegreeToPitch(const Scale& scale, std::int32_t degree);

}  // namespace halvorn

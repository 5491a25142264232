#pragma once
// A block as the Blocks page shows it: whole numbers in the page's units
// (indices, percents, slider positions), and the rules that move it to and
// from the Song's Block.

#include <array>
#include <cstdint>
#include <string>

#include "edit/rhythm_curves.h"
#include "model/document.h"
#include "model/song.h"

namespace halvorn {

inline constexpr std::int32_t kMaxMelodyRange = 127;
inline constexpr std::int32_t kMaxMelodyOffset = 48;
inline constexpr std::int32_t kMaxVelocityRange = 100;
inline constexpr std::int32_t kMaxVelocityAmp = 300;

// Slider positions p = 0..100, p = 0 at the top (or left end).
struct BlockSliders {
    RhythmPositions rhythm{100, 100, 100, 100, 100, 100, 100, 100, 100, 100};  // p = 0: 1
    int dotted = 100;                                                          // p = 0: all
    int triplets = 100;                                                        // p = 0: all
    int legato = 100;                                                          // p / 100
    int accentLevel = 0;                                                       // p / 100
};

// List indices are -1 while a list has no selection.
struct BlockFields {
    std::string description;       // the document's bytes
    std::int32_t lengthIndex = 0;  // measures - 1
    std::int32_t scaleKey = 0;
    std::int32_t scaleType = 0;
    std::int32_t channel = 0;
    std::int32_t program = 0;
    std::int32_t melodySequence = 0;
    std::int32_t melodyOffset = 0;
    std::int32_t melodyRange = 1;
    std::array<bool, kMaxBeatsPerMeasure> accents{};
    std::int32_t velocitySequence = 0;
    std::int32_t velocityAmp = 100;  // percent
    std::int32_t velocityRange = 100;
    std::int32_t velocityThreshold = 0;  // percent
    std::int32_t seed = 1;
    BlockSliders sliders;
};

// The accent boxes the Song's metre allows: its beats per measure, 0..9.
std::int32_t accentBeats(const Song& song);

// A sequence index that names no microsequence of the Song becomes 0.
std::int32_t clampedSequence(std::int32_t index, const Song& song);

// Block `index` of `song` as the page shows it. Sequence indices that name
// no microsequence become 0 in the Block too; accents beyond the metre keep
// what `shown` has.
BlockFields loadBlockFields(Song& song, std::int32_t index, const BlockFields& shown);

// The fields into block `index`, from the Block defaults, so accents beyond
// the metre are stored off; the description is held to 30 bytes.
void storeBlockFields(const BlockFields& fields, Song& song, std::int32_t index);

}  // namespace halvorn

#pragma once
// The Song: one whole composition. Records are held inline in fixed arrays;
// only the scale table, a microsequence's parameter block and values, and a
// macrosequence's placements are owned storage.
//
// Members marked "derived" are computed from the others and never stored in
// a document: a microsequence's values (microsequenceCompute) and a
// macrosequence's placements (macrosequencePlace). Everything else is what a
// document file holds.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/parameter_block.h"
#include "model/scale.h"

namespace halvorn {

inline constexpr std::int32_t kMaxMicrosequences = 32;
inline constexpr std::int32_t kMaxBlocks = 16;
inline constexpr std::size_t kDescriptionLength = 30;
inline constexpr std::int32_t kNoteValueCount = 10;  // exponents -6 ("1/64") .. 3 ("8")
inline constexpr std::int32_t kMinNoteExponent = -6;
inline constexpr std::int32_t kMaxNoteExponent = 3;
inline constexpr std::int32_t kMaxBeatsPerMeasure = 9;
inline constexpr std::int32_t kMinTempo = 40;  // quarter notes per minute
inline constexpr std::int32_t kMaxTempo = 300;

// Names of the note values, index k = exponent + 6.
inline constexpr std::array<std::string_view, kNoteValueCount> kNoteValueNames = {
    "1/64", "1/32", "1/16", "1/8", "1/4", "1/2", "1", "2", "4", "8"};

struct Microsequence {
    std::string description;  // at most 30 bytes
    std::int32_t fractalType = 0;
    std::int32_t period = 0;                          // 1..256 when in use
    std::optional<ParameterBytes> parameters;         // absent until first saved
    std::optional<std::vector<std::int32_t>> values;  // derived; absent until computed
};

struct Block {
    std::string description;  // at most 30 bytes
    std::int32_t scaleKey = 0;
    std::int32_t scaleType = 0;
    std::int32_t lengthMeasures = 1;
    std::int32_t melodySequence = 0;
    std::int32_t melodyRange = 1;
    std::int32_t melodyOffset = 0;
    std::int32_t velocitySequence = 0;
    std::int32_t velocityRange = 100;
    double velocityAmp = 1.0;
    double velocityThreshold = 0.0;
    std::array<double, kNoteValueCount> rhythmDistribution{};
    double dottedProbability = 0.0;
    double tripletProbability = 0.0;
    double legato = 1.0;
    std::int32_t seed = 1;
    std::array<std::int32_t, kMaxBeatsPerMeasure> accents{};
    double accentLevel = 0.0;
    std::int32_t program = 0;
    std::int32_t channel = 0;

    bool operator==(const Block&) const = default;
};

struct Placement {
    std::int32_t startBeat = 0;
    double stretchFactor = 1.0;
    bool operator==(const Placement&) const = default;
};

struct Macrosequence {
    std::int32_t muted = 0;
    std::int32_t seed = 1;
    double volume = 1.0;
    double probability = 1.0;
    double panning = 0.5;
    std::int32_t alignment = 1;  // displacementMeasures * 65536 + alignMeasures
    std::array<double, 4> stretchProbabilities{1.0, 0.0, 0.0, 0.0};
    // Derived: placementCount entries, empty when none (until placed).
    std::int32_t placementCount = 0;
    std::vector<Placement> placements;
};

// The two numbers packed into `alignment`.
std::int32_t alignMeasures(std::int32_t alignment);         // low 16 bits
std::int32_t displacementMeasures(std::int32_t alignment);  // high 16 bits, signed
std::int32_t makeAlignment(std::int32_t alignMeasures, std::int32_t displacementMeasures);

struct Song {
    std::int32_t tempo = 100;
    std::int32_t beatsPerMeasure = 4;
    std::int32_t minNoteExponent = -4;
    std::int32_t maxNoteExponent = 1;
    std::int32_t microsequenceCount = 0;
    std::int32_t blockCount = 0;
    std::array<Microsequence, kMaxMicrosequences> microsequences;
    std::array<Block, kMaxBlocks> blocks;
    std::array<Macrosequence, kMaxBlocks> macrosequences;
    std::int32_t generatorKind = 0;
    std::int32_t generatorSeed = 1;
    Scale scale;
    std::int32_t lengthMeasures = 4;
};

// Whether every track is placed alike. Of the derived members only the
// placements can tell two Songs with the same file bytes apart for the user:
// the arrangement shows them, and they come from the draws of Regenerate.
bool samePlacements(const Song& a, const Song& b);

// A Song with every default: no records in use, C major, 4 measures of 4/4.
Song songInit();

// Releases the records in use and returns every field to its default.
void songReset(Song& song);

void microsequenceReset(Microsequence& microsequence);  // empties without releasing
void microsequenceFree(Microsequence& microsequence);   // releases, then resets
void blockReset(Block& block);
void macrosequenceReset(Macrosequence& macrosequence);
void macrosequenceFree(Macrosequence& macrosequence);

// The states the pages give a record they append: "New Sequence" with period
// 256, and "New Block" on its own index as channel.
void microsequenceMakeNew(Microsequence& microsequence);
void blockMakeNew(Block& block, std::int32_t index);

// Copies at most 30 bytes of `text` into a description.
void setDescription(std::string& description, std::string_view text);

}  // namespace halvorn

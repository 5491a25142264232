#include "edit/block_fields.h"

#include <algorithm>

#include "edit/slider_fractions.h"
#include "edit/song_records.h"

namespace halvorn {
namespace {

BlockSliders slidersOf(const Block& block) {
    BlockSliders sliders;
    for (std::int32_t k = 0; k < kNoteValueCount; ++k) {
        sliders.rhythm[k] = inversePosition(block.rhythmDistribution[k]);
    }
    sliders.dotted = inversePosition(block.dottedProbability);
    sliders.triplets = inversePosition(block.tripletProbability);
    sliders.legato = percentOf(block.legato);
    sliders.accentLevel = percentOf(block.accentLevel);
    return sliders;
}

void storeSliders(const BlockSliders& sliders, Block& block) {
    for (std::int32_t k = 0; k < kNoteValueCount; ++k) {
        block.rhythmDistribution[k] = inverseValue(sliders.rhythm[k]);
    }
    block.dottedProbability = inverseValue(sliders.dotted);
    block.tripletProbability = inverseValue(sliders.triplets);
    block.legato = sliders.legato / 100.0;
}

}  // namespace

std::int32_t accentBeats(const Song& song) {
    return std::clamp(song.beatsPerMeasure, 0, kMaxBeatsPerMeasure);
}

std::int32_t clampedSequence(std::int32_t index, const Song& song) {
    return index >= 0 && index < usedMicrosequences(song) ? index : 0;
}

BlockFields loadBlockFields(Song& song, std::int32_t index, const BlockFields& shown) {
    Block& block = song.blocks[index];
    BlockFields fields = shown;
    fields.description = block.description;
    fields.scaleKey = block.scaleKey;
    fields.scaleType = block.scaleType;
    fields.lengthIndex = block.lengthMeasures - 1;
    block.melodySequence = clampedSequence(block.melodySequence, song);
    block.velocitySequence = clampedSequence(block.velocitySequence, song);
    fields.melodySequence = block.melodySequence;
    fields.velocitySequence = block.velocitySequence;
    fields.melodyRange = block.melodyRange;
    fields.melodyOffset = block.melodyOffset;
    fields.velocityRange = block.velocityRange;
    fields.velocityAmp = percentOf(block.velocityAmp);
    fields.velocityThreshold = percentOf(block.velocityThreshold);
    fields.sliders = slidersOf(block);
    fields.seed = block.seed;
    for (int beat = 0; beat < accentBeats(song); ++beat) fields.accents[beat] = block.accents[beat];
    fields.program = block.program;
    fields.channel = block.channel;
    return fields;
}

void storeBlockFields(const BlockFields& fields, Song& song, std::int32_t index) {
    Block& block = song.blocks[index];
    blockReset(block);
    setDescription(block.description, fields.description);
    block.scaleKey = std::max(fields.scaleKey, 0);
    block.scaleType = std::max(fields.scaleType, 0);
    block.lengthMeasures = std::max(fields.lengthIndex, 0) + 1;
    block.melodySequence = clampedSequence(fields.melodySequence, song);
    block.melodyRange = fields.melodyRange;
    block.melodyOffset = fields.melodyOffset;
    block.velocitySequence = clampedSequence(fields.velocitySequence, song);
    block.velocityRange = fields.velocityRange;
    block.velocityAmp = fields.velocityAmp / 100.0;
    block.velocityThreshold = fields.velocityThreshold / 100.0;
    storeSliders(fields.sliders, block);
    block.seed = fields.seed;
    for (int beat = 0; beat < accentBeats(song); ++beat) block.accents[beat] = fields.accents[beat];
    block.accentLevel = fields.sliders.accentLevel / 100.0;
    block.program = std::max(fields.program, 0);
    block.channel = std::max(fields.channel, 0);
}

}  // namespace halvorn

#include "edit/global_fields.h"

#include <algorithm>
#include <utility>

#include "model/scale.h"

namespace halvorn {
namespace {

std::int32_t clampIndex(std::int32_t index, std::int32_t count) {
    return std::clamp(index, std::int32_t{0}, count - 1);
}

}  // namespace

void keepMinimumDuration(GlobalFields& fields) {
    if (fields.minDurationIndex > fields.maxDurationIndex) {
        fields.minDurationIndex = fields.maxDurationIndex;
    }
}

void keepMaximumDuration(GlobalFields& fields) {
    if (fields.maxDurationIndex < fields.minDurationIndex) {
        fields.maxDurationIndex = fields.minDurationIndex;
    }
}

void orderNoteRange(GlobalFields& fields) {
    if (fields.minDurationIndex > fields.maxDurationIndex) {
        std::swap(fields.minDurationIndex, fields.maxDurationIndex);
    }
}

void storeGlobalFields(const GlobalFields& fields, Song& song) {
    song.beatsPerMeasure = fields.signatureIndex + 2;
    song.minNoteExponent = fields.minDurationIndex + kMinNoteExponent;
    song.maxNoteExponent = fields.maxDurationIndex + kMinNoteExponent;
    song.tempo = fields.tempo;
    song.generatorKind = fields.generatorIndex;
    song.generatorSeed = fields.seed;
}

GlobalFields loadGlobalFields(const Song& song, std::int32_t scaleKey, std::int32_t scaleType,
                              std::int32_t generatorCount) {
    GlobalFields fields;
    fields.signatureIndex = clampIndex(song.beatsPerMeasure - 2, kSignatureCount);
    fields.minDurationIndex = clampIndex(song.minNoteExponent - kMinNoteExponent, kNoteValueCount);
    fields.maxDurationIndex = clampIndex(song.maxNoteExponent - kMinNoteExponent, kNoteValueCount);
    fields.tempo = song.tempo;
    fields.generatorIndex = clampIndex(song.generatorKind, generatorCount);
    fields.seed = song.generatorSeed;
    fields.scaleKeyIndex = clampIndex(scaleKey, static_cast<std::int32_t>(kKeyNames.size()));
    fields.scaleTypeIndex =
        clampIndex(scaleType, static_cast<std::int32_t>(kScaleTypeNames.size()));
    return fields;
}

}  // namespace halvorn

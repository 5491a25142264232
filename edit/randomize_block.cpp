#include "edit/randomize_block.h"

#include "edit/random_draws.h"
#include "edit/song_records.h"
#include "model/random.h"

namespace halvorn {

BlockRandomValues randomBlockValues(BlockFields fields, const Song& song, RandomDraws& draws) {
    BlockRandomValues drawn;
    fields.scaleKey = drawBelow(draws, 12);
    fields.scaleType = drawBelow(draws, 4);
    fields.lengthIndex = drawBelow(draws, kMaxBlockMeasures);
    fields.melodySequence = drawBelow(draws, usedMicrosequences(song));
    fields.melodyRange = drawBelow(draws, 24) + 1;
    fields.melodyOffset = drawBelow(draws, 24) - 12;
    fields.velocitySequence = drawBelow(draws, usedMicrosequences(song));
    fields.velocityRange = drawBelow(draws, 60) + 1;
    fields.velocityAmp = drawBelow(draws, 200) + 100;
    fields.velocityThreshold = drawBelow(draws, 20) + 1;
    drawn.centerIndex = drawBelow(draws, song.maxNoteExponent - song.minNoteExponent + 1) +
                        song.minNoteExponent - kMinNoteExponent;
    drawn.curveIndex = drawBelow(draws, kCurveCount);
    fields.sliders.dotted = drawBelow(draws, 100);
    fields.sliders.triplets = drawBelow(draws, 100);
    fields.sliders.legato = drawBelow(draws, 100);
    fields.seed = drawSeedValue(draws);
    for (int beat = 0; beat < accentBeats(song); ++beat) fields.accents[beat] = draws.next() > 0.5;
    fields.sliders.accentLevel = drawBelow(draws, 100);
    drawn.fields = std::move(fields);
    return drawn;
}

}  // namespace halvorn

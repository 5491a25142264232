#include "edit/randomize_block.h"

#include "edit/random_draws.h"
#include "edit/song_records.h"
#include "model/random.h"

namespace halvorn {

BlockRandomValues randomBlockValues(BlockFields fields, const Song& song) {
    BlockRandomValues drawn;
    fields.scaleKey = drawBelow(12);
    fields.scaleType = drawBelow(4);
    fields.lengthIndex = drawBelow(kMaxBlockMeasures);
    fields.melodySequence = drawBelow(usedMicrosequences(song));
    fields.melodyRange = drawBelow(24) + 1;
    fields.melodyOffset = drawBelow(24) - 12;
    fields.velocitySequence = drawBelow(usedMicrosequences(song));
    fields.velocityRange = drawBelow(60) + 1;
    fields.velocityAmp = drawBelow(200) + 100;
    fields.velocityThreshold = drawBelow(20) + 1;
    drawn.centerIndex = drawBelow(song.maxNoteExponent - song.minNoteExponent + 1) +
                        song.minNoteExponent - kMinNoteExponent;
    drawn.curveIndex = drawBelow(kCurveCount);
    fields.sliders.dotted = drawBelow(100);
    fields.sliders.triplets = drawBelow(100);
    fields.sliders.legato = drawBelow(100);
    fields.seed = drawSeedValue();
    for (int beat = 0; beat < accentBeats(song); ++beat) fields.accents[beat] = randomNext() > 0.5;
    fields.sliders.accentLevel = drawBelow(100);
    drawn.fields = std::move(fields);
    return drawn;
}

}  // namespace halvorn

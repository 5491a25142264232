#include "edit/randomize_global.h"

#include "edit/random_draws.h"

namespace halvorn {

void randomizeGlobalFields(GlobalFields& fields, RandomDraws& draws) {
    fields.signatureIndex = drawBelow(draws, kSignatureCount);
    fields.minDurationIndex = drawBelow(draws, 4);
    fields.maxDurationIndex = fields.minDurationIndex +
                              drawBelow(draws, static_cast<double>(10 - fields.minDurationIndex));
    fields.scaleTypeIndex = drawBelow(draws, 4);
    fields.scaleKeyIndex = drawBelow(draws, 12);
    fields.tempo = kMinTempo + drawBelow(draws, 260);
    fields.seed = drawSeedValue(draws);
}

}  // namespace halvorn

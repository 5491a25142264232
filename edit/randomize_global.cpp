#include "edit/randomize_global.h"

#include "edit/random_draws.h"

namespace halvorn {

void randomizeGlobalFields(GlobalFields& fields) {
    fields.signatureIndex = drawBelow(kSignatureCount);
    fields.minDurationIndex = drawBelow(4);
    fields.maxDurationIndex =
        fields.minDurationIndex + drawBelow(static_cast<double>(10 - fields.minDurationIndex));
    fields.scaleTypeIndex = drawBelow(4);
    fields.scaleKeyIndex = drawBelow(12);
    fields.tempo = kMinTempo + drawBelow(260);
    fields.seed = drawSeedValue();
}

}  // namespace halvorn

#include "edit/random_draws.h"

#include "model/random.h"

namespace halvorn {

std::int32_t drawBelow(RandomDraws& draws, double span) {
    return static_cast<std::int32_t>(span * draws.next());
}

std::int32_t drawSeedValue(RandomDraws& draws) {
    return drawBelow(draws, 1234567890.0);
}

}  // namespace halvorn

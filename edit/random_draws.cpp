#include "edit/random_draws.h"

#include "model/random.h"

namespace halvorn {

std::int32_t drawBelow(double span) {
    return static_cast<std::int32_t>(span * randomNext());
}

std::int32_t drawSeedValue() {
    return drawBelow(1234567890.0);
}

}  // namespace halvorn

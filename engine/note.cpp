#include "engine/note.h"

#include <cmath>
#include <limits>

namespace halvorn {

std::int64_t beatsToTicks(double beats, std::int32_t ppqn) {
    const double ticks = std::trunc(static_cast<double>(ppqn) * beats);
    // 2^63 is exactly representable; anything at or beyond it saturates.
    constexpr double kLimit = 9223372036854775808.0;
    if (std::isnan(ticks)) return 0;
    if (ticks >= kLimit) return std::numeric_limits<std::int64_t>::max();
    if (ticks < -kLimit) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(ticks);
}

bool isWholeBeat(double x) {
    return x - std::trunc(x) < 0.00001;
}

}  // namespace halvorn

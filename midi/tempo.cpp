#include "midi/tempo.h"

#include <cmath>
#include <limits>

namespace halvorn {

std::optional<std::uint32_t> microsecondsPerQuarter(double tempo) {
    if (!std::isfinite(tempo) || tempo <= 0.0) return std::nullopt;
    const double quotient = std::trunc(kMicrosecondsPerMinute / tempo);
    if (quotient < 1.0 || quotient > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    return static_cast<std::uint32_t>(quotient);
}

std::uint32_t smfMicrosecondsPerQuarter(double tempo) {
    if (!(tempo > 0.0)) return kMaxSmfMicrosecondsPerQuarter;
    const double quotient = kMicrosecondsPerMinute / tempo;
    if (!(quotient >= 1.0)) return 1;
    if (quotient >= kMaxSmfMicrosecondsPerQuarter) return kMaxSmfMicrosecondsPerQuarter;
    return static_cast<std::uint32_t>(quotient);
}

}  // namespace halvorn

#include "edit/slider_fractions.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace halvorn {

std::int32_t percentOf(double fraction) {
    const double x = fraction * 100.0;
    if (std::isnan(x)) return 0;
    const double down = std::floor(x);
    const double rounded = x - down >= 0.5 ? down + 1.0 : down;
    return static_cast<std::int32_t>(
        std::clamp(rounded, static_cast<double>(std::numeric_limits<std::int32_t>::min()),
                   static_cast<double>(std::numeric_limits<std::int32_t>::max())));
}

int inversePosition(double fraction) {
    return kMaxSliderPosition - percentOf(fraction);
}

double inverseValue(int position) {
    return 1.0 - position / 100.0;
}

}  // namespace halvorn

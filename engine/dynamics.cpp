#include "engine/dynamics.h"

#include <array>

namespace halvorn {
namespace {

// The velocities halfway between neighbouring levels.
constexpr std::array<double, 5> kUpperBounds = {41.0, 56.5, 72.0, 88.0, 104.0};
constexpr std::array<std::string_view, 7> kNames = {"", "pp", "p", "mp", "mf", "f", "ff"};

}  // namespace

Dynamic dynamicOf(double velocity) {
    std::size_t level = 0;
    while (level < kUpperBounds.size() && velocity >= kUpperBounds[level]) ++level;
    return static_cast<Dynamic>(level + 1);
}

std::string_view dynamicName(Dynamic dynamic) {
    return kNames[static_cast<std::size_t>(dynamic)];
}

std::vector<Dynamic> placementDynamics(const std::vector<double>& meanVelocities) {
    std::vector<Dynamic> marks(meanVelocities.size(), Dynamic::kNone);
    Dynamic shown = Dynamic::kNone;
    for (std::size_t p = 0; p < meanVelocities.size(); ++p) {
        if (meanVelocities[p] < 0.0) continue;
        const Dynamic level = dynamicOf(meanVelocities[p]);
        if (level != shown) marks[p] = level;
        shown = level;
    }
    return marks;
}

}  // namespace halvorn

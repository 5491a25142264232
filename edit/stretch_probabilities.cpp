#include "edit/stretch_probabilities.h"

#include "edit/slider_fractions.h"

namespace halvorn {

// Integer arithmetic on the sliders' whole hundredths: the exact shares,
// truncated.
void normalizeStretchPositions(StretchPositions& positions) {
    std::array<int, kStretchChoices> hundredths{};
    int sum = 0;
    for (int i = 0; i < kStretchChoices; ++i) {
        hundredths[i] = kMaxSliderPosition - positions[i];
        sum += hundredths[i];
    }
    if (sum <= 0) {
        positions[0] = 0;
        return;
    }
    for (int i = 0; i < kStretchChoices; ++i) {
        positions[i] = kMaxSliderPosition - hundredths[i] * kMaxSliderPosition / sum;
    }
}

}  // namespace halvorn

#include "edit/rhythm_curves.h"

#include <algorithm>
#include <cmath>

#include "edit/slider_fractions.h"

namespace halvorn {
namespace {

enum Curve : std::int32_t {
    kFixedValue = 0,
    kHomogenous = 1,
    kFirstGaussian = 2,
    kFirstAccelerated = 5,
    kFirstSlow = 8,
};

// The spread of "Gaussian 1", "2" and "3": exp(-a d^2).
constexpr std::array<double, 3> kGaussianFactors = {0.25, 0.5, 1.0};

using Probabilities = std::array<double, kNoteValueCount>;

// "Gaussian", then flat at 1 on the short side of the center ("Accelerated")
// or from the center to the longest value ("Slow").
void fillShapedCurve(Probabilities& v, std::int32_t curve, std::int32_t center, std::int32_t lowest,
                     std::int32_t highest) {
    const std::int32_t shape = (curve - kFirstGaussian) % 3;
    const double factor = kGaussianFactors[shape];
    for (std::int32_t k = lowest; k <= highest; ++k) {
        const double d = k - center;
        v[k] = std::exp(-factor * d * d);
    }
    if (curve >= kFirstSlow) {
        for (std::int32_t k = std::max(center, lowest); k <= highest; ++k) v[k] = 1.0;
    } else if (curve >= kFirstAccelerated) {
        for (std::int32_t k = lowest; k < center && k <= highest; ++k) v[k] = 1.0;
    }
}

}  // namespace

bool noteValueAllowed(const Song& song, std::int32_t k) {
    const std::int32_t exponent = k + kMinNoteExponent;
    return song.minNoteExponent <= exponent && exponent <= song.maxNoteExponent;
}

std::int32_t clampCenterIndex(std::int32_t center, const Song& song) {
    const std::int32_t lowest = song.minNoteExponent - kMinNoteExponent;
    const std::int32_t highest = song.maxNoteExponent - kMinNoteExponent;
    if (center < lowest) center = lowest;
    if (center > highest) center = highest;
    return center;
}

std::optional<RhythmPositions> rhythmCurvePositions(std::int32_t curve, std::int32_t center,
                                                    const Song& song) {
    if (curve < 0 || curve >= kCurveCount) return std::nullopt;
    const std::int32_t lowest = std::max(song.minNoteExponent - kMinNoteExponent, 0);
    const std::int32_t highest =
        std::min(song.maxNoteExponent - kMinNoteExponent, kNoteValueCount - 1);
    Probabilities v{};
    if (curve == kFixedValue) {
        if (center >= 0 && center < kNoteValueCount) v[center] = 1.0;
    } else if (curve == kHomogenous) {
        for (std::int32_t k = lowest; k <= highest; ++k) v[k] = 1.0;
    } else {
        fillShapedCurve(v, curve, center, lowest, highest);
    }
    RhythmPositions positions{};
    for (std::int32_t k = 0; k < kNoteValueCount; ++k) {
        positions[k] = kMaxSliderPosition - static_cast<int>(v[k] * 100.0);
    }
    return positions;
}

void normalizeRhythmPositions(RhythmPositions& positions) {
    Probabilities v{};
    double sum = 0.0;
    for (std::int32_t k = 0; k < kNoteValueCount; ++k) {
        v[k] = inverseValue(positions[k]);
        sum += v[k];
    }
    if (sum == 0.0) return;
    for (std::int32_t k = 0; k < kNoteValueCount; ++k) {
        positions[k] = kMaxSliderPosition - static_cast<int>(v[k] / sum * 100.0 + 0.5);
    }
}

}  // namespace halvorn

#include "midi/io/fluidsynth/peak_limiter.h"

#include <algorithm>
#include <cmath>

namespace halvorn {

namespace {

// Long enough not to follow single waves of a bass note (which would
// distort it), short enough not to be heard as a dip.
constexpr double kHoldSeconds = 0.010;
constexpr double kReleaseSeconds = 0.150;

float decibelsToFactor(double db) {
    return static_cast<float>(std::pow(10.0, db / 20.0));
}

// A sample that is not a number becomes silence rather than noise.
float finiteOrZero(float sample) {
    return std::isfinite(sample) ? sample : 0.0f;
}

}  // namespace

PeakLimiter::PeakLimiter(double gainDb, double ceilingDbfs, double sampleRate)
    : gain_(decibelsToFactor(gainDb)),
      ceiling_(decibelsToFactor(ceilingDbfs)),
      release_(static_cast<float>(std::exp(-1.0 / (kReleaseSeconds * sampleRate)))),
      holdFrames_(static_cast<std::uint32_t>(kHoldSeconds * sampleRate)) {}

void PeakLimiter::process(float* left, float* right, std::size_t frames) {
    for (std::size_t i = 0; i < frames; ++i) {
        const float l = finiteOrZero(left[i]) * gain_;
        const float r = finiteOrZero(right[i]) * gain_;
        const float peak = std::max(std::abs(l), std::abs(r));
        const float wanted = peak > ceiling_ ? ceiling_ / peak : 1.0f;
        if (wanted <= envelope_) {
            envelope_ = wanted;
            held_ = holdFrames_;
        } else if (held_ > 0) {
            --held_;
        } else {
            // Towards the wanted gain, never beyond it: the output stays
            // below the ceiling while recovering.
            envelope_ = wanted - (wanted - envelope_) * release_;
            if (wanted - envelope_ < 1e-6f) envelope_ = wanted;
        }
        left[i] = l * envelope_;
        right[i] = r * envelope_;
    }
}

}  // namespace halvorn

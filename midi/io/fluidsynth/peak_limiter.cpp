#include "midi/io/fluidsynth/peak_limiter.h"

#include <algorithm>
#include <cmath>

namespace halvorn {

namespace {

// The delay the gain sees the sound ahead by: long enough for a ramp that
// does not click, short enough not to be felt when playing along.
constexpr double kLookAheadSeconds = 0.005;
// One wave of MIDI note 0 (8.18 Hz) lasts 122 ms: the gain holds past the
// next peak of any note, so it stays put under a steady tone.
constexpr double kHoldSeconds = 0.125;
// The time constant of the recovery after the hold.
constexpr double kReleaseSeconds = 0.150;
// Gains in the ramp are whole multiples of 2^-30, rounded down: their sum
// is exact, so a steady gain stays exactly steady.
constexpr double kRampUnity = 1 << 30;

float decibelsToFactor(double db) {
    return static_cast<float>(std::pow(10.0, db / 20.0));
}

// A sample that is not a number becomes silence rather than noise.
float finiteOrZero(float sample) {
    return std::isfinite(sample) ? sample : 0.0f;
}

std::size_t framesOf(double seconds, double sampleRate) {
    return static_cast<std::size_t>(std::max(1.0, std::round(seconds * sampleRate)));
}

}  // namespace

PeakLimiter::PeakLimiter(double gainDb, double ceilingDbfs, double sampleRate)
    : gain_(decibelsToFactor(gainDb)),
      ceiling_(decibelsToFactor(ceilingDbfs)),
      release_(std::exp(-1.0 / (kReleaseSeconds * sampleRate))),
      // A peak's own frame, the frames the look-ahead sees it early and
      // the frames it is held for.
      held_(framesOf(kLookAheadSeconds, sampleRate) + framesOf(kHoldSeconds, sampleRate) + 1),
      ramp_(framesOf(kLookAheadSeconds, sampleRate) + 1, static_cast<std::uint32_t>(kRampUnity)),
      rampSum_(static_cast<std::uint64_t>(ramp_.size()) << 30),
      delayedLeft_(framesOf(kLookAheadSeconds, sampleRate), 0.0f),
      delayedRight_(delayedLeft_.size(), 0.0f) {}

float PeakLimiter::allowedGain(float left, float right) const {
    const float peak = std::max(std::abs(left), std::abs(right));
    return peak > ceiling_ ? ceiling_ / peak : 1.0f;
}

double PeakLimiter::rampedGain(float wanted) {
    const double held = held_.push(wanted);
    if (held <= envelope_) {
        envelope_ = held;  // at once: the ramp below makes it smooth
    } else {
        // Towards the held gain, never beyond it.
        envelope_ = held - (held - envelope_) * release_;
        if (held - envelope_ < 1e-9) envelope_ = held;
    }
    const auto fixed = static_cast<std::uint32_t>(envelope_ * kRampUnity);
    rampSum_ = rampSum_ - ramp_[rampAt_] + fixed;
    ramp_[rampAt_] = fixed;
    rampAt_ = (rampAt_ + 1) % ramp_.size();
    return static_cast<double>(rampSum_) / (static_cast<double>(ramp_.size()) * kRampUnity);
}

void PeakLimiter::process(float* left, float* right, std::size_t frames) {
    for (std::size_t i = 0; i < frames; ++i) {
        const float l = finiteOrZero(left[i]) * gain_;
        const float r = finiteOrZero(right[i]) * gain_;
        // The ramp's mean over the look-ahead is below the allowed gain of
        // every frame it spans, the one leaving the delay now included.
        const auto gain = static_cast<float>(rampedGain(allowedGain(l, r)));
        left[i] = delayedLeft_[delayAt_] * gain;
        right[i] = delayedRight_[delayAt_] * gain;
        delayedLeft_[delayAt_] = l;
        delayedRight_[delayAt_] = r;
        delayAt_ = (delayAt_ + 1) % delayedLeft_.size();
    }
}

}  // namespace halvorn

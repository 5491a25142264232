#pragma once
// The live synthesizer's level: a master gain brings FluidSynth's quiet
// default up to a comfortable listening level, and a peak limiter keeps
// whatever many loud tracks play together below full scale. No look-ahead:
// the gain drops at once on a peak (so nothing ever passes the ceiling),
// holds a moment, then recovers smoothly. Runs on the audio thread:
// nothing here allocates, locks or waits.

#include <cstddef>
#include <cstdint>

namespace halvorn {

// Above FluidSynth's own gain (0.2), where pieces of a few tracks peak
// around -15 to -25 dBFS: they come out between about -7 dBFS and the
// ceiling, the loudest limited by a few dB on their peaks only.
inline constexpr double kLiveMasterGainDb = 18.0;
// Held a little below -1 dBFS so that conversions on the way to the sound
// card keep it there.
inline constexpr double kLiveCeilingDbfs = -1.5;

class PeakLimiter {
  public:
    PeakLimiter(double gainDb, double ceilingDbfs, double sampleRate);

    // Levels one block of the two channels in place.
    void process(float* left, float* right, std::size_t frames);

  private:
    float gain_;
    float ceiling_;
    float release_;  // per-frame factor of the remaining distance to the wanted gain
    std::uint32_t holdFrames_;
    std::uint32_t held_ = 0;
    float envelope_ = 1.0f;  // the gain the limiter applies now, at most 1
};

}  // namespace halvorn

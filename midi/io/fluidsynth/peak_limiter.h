#pragma once
// The live synthesizer's level: a master gain brings FluidSynth's quiet
// default up to a comfortable listening level, and a look-ahead limiter
// keeps whatever many loud tracks play together below a ceiling without
// distorting them. The sound comes out a few milliseconds late, so the gain
// can come down smoothly before a peak arrives instead of cutting into it;
// it then holds for longer than one wave of the lowest MIDI note, so it
// never follows the waveform of a steady tone, and recovers smoothly.
// Runs on the audio thread: everything is allocated at construction, and
// nothing here allocates, locks or waits.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "midi/io/fluidsynth/sliding_minimum.h"

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

    // Levels one block of the two channels in place: what comes out is what
    // went in latencyFrames() earlier, times the gain.
    void process(float* left, float* right, std::size_t frames);

    std::size_t latencyFrames() const { return delayedLeft_.size(); }

  private:
    // The gain a frame may have so that it stays under the ceiling, at most 1.
    float allowedGain(float left, float right) const;
    // The gain for the frame leaving the delay now, from the one `wanted`
    // for the frame entering it.
    double rampedGain(float wanted);

    float gain_;
    float ceiling_;
    double release_;         // per-frame factor of the remaining distance to the held gain
    SlidingMinimum held_;    // the lowest allowed gain of the hold and the look-ahead
    double envelope_ = 1.0;  // the held gain, with its recovery smoothed
    // The last look-ahead + 1 envelopes in fixed point, and their sum: their
    // mean ramps down over the look-ahead and never exceeds any of them.
    std::vector<std::uint32_t> ramp_;
    std::uint64_t rampSum_;
    std::size_t rampAt_ = 0;
    std::vector<float> delayedLeft_;  // rings of the frames not yet out
    std::vector<float> delayedRight_;
    std::size_t delayAt_ = 0;
};

}  // namespace halvorn

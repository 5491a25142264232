#pragma once
// A second-order delay-locked loop on the timestamps of a periodic event
// (MIDI clock): it averages out the jitter of the arrivals while it follows
// a change of period within a few dozen events. After each event it gives
// the filtered period and its prediction of the next event's time.
//
// The loop's gain is per event (so its bandwidth scales with the tempo:
// omega / 2 pi = 2.4% of the event rate, 1.1 Hz at 120 BPM) and the loop is
// critically damped. With 24 events a beat, a tempo step from 120 to 140
// BPM settles to within 0.5 BPM in two beats, and an arrival jitter of
// +-1 ms leaves the predictions within about 0.65 ms (99th percentile) of
// the jitter-free times. (A wider loop settles sooner but lets more jitter
// through into the tempo; a narrower one the other way round.)

#include <chrono>

namespace halvorn {

class ClockDll {
  public:
    static constexpr double kOmega = 0.15;  // radians an event

    bool locked() const { return locked_; }
    // Starts over at an event at `at`, expecting the next after `period`.
    void reset(std::chrono::nanoseconds at, double periodNs);
    // An event arrived at `at`; reset() first.
    void update(std::chrono::nanoseconds at);

    // The filtered time between two events, in nanoseconds.
    double period() const { return period_; }
    // When the next event is expected.
    std::chrono::nanoseconds next() const;

  private:
    bool locked_ = false;
    double next_ = 0;  // nanoseconds, kept fractional
    double period_ = 0;
};

}  // namespace halvorn

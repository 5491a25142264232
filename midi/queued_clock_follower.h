#pragma once
// A MidiClockFollower fed from an input backend's own thread (a JACK
// process callback, a sequencer's reader): the backend pushes each message
// with its timestamp into a fixed ring, without a lock, and a worker thread
// of this class hands them to the follower and watches for clocks that
// stop.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "midi/midi_clock_follower.h"
#include "midi/spsc_ring.h"
#include "midi/wake_signal.h"

namespace halvorn {

class QueuedMidiClockFollower : public MidiClockFollower {
  public:
    explicit QueuedMidiClockFollower(double tempo);
    // Derived classes call stopWorker() first, before their backend goes.
    ~QueuedMidiClockFollower() override;

    // From the one backend thread. False when the ring is full.
    bool push(std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
              std::chrono::nanoseconds at);

  protected:
    void stopWorker();

  private:
    struct Message {
        std::uint8_t status = 0, data1 = 0, data2 = 0;
        std::int64_t at = 0;
    };
    void run();

    SpscRing<Message, 1024> ring_;
    WakeSignal wake_;
    std::atomic<bool> stopping_{false};
    std::thread worker_;
};

// True for the messages a clock follower takes: clock, Start, Continue,
// Stop and Song Position Pointer.
inline bool isClockFollowerMessage(std::uint8_t status) {
    return status == 0xF8 || status == 0xFA || status == 0xFB || status == 0xFC || status == 0xF2;
}

}  // namespace halvorn

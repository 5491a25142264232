#pragma once
// A JACK MIDI port of ours, connected to the chosen destination port, that
// writes each message at its exact frame: the frame its scheduled time
// falls on, one period later (the latency the port publishes), so that
// neither the scheduler's wake-up nor the JACK cycle it lands in moves it.
//
// The scheduler hands messages over 10 ms before their time (sendLead)
// through a fixed ring; the process callback places them by frame. Neither
// side locks or allocates.

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "midi/io/jack/jack_clients.h"
#include "midi/midi_output.h"
#include "midi/spsc_ring.h"
#include "model/error.h"
#include "model/expected.h"

namespace halvorn {

class JackMidiOutput final : public MidiOutput {
  public:
    // An active client "Halvorn" with one output port connected to
    // `destination` ("client:port"), or one line saying why not.
    static Expected<std::unique_ptr<JackMidiOutput>, Error> open(const std::string& destination,
                                                                 const std::string& label);
    ~JackMidiOutput() override;
    JackMidiOutput(const JackMidiOutput&) = delete;
    JackMidiOutput& operator=(const JackMidiOutput&) = delete;

    void send(MidiShortMessage message, std::chrono::nanoseconds due) override;
    std::chrono::nanoseconds sendLead() const override;
    std::string lostReason() override;

    // Messages that found the ring full (never on a sane machine).
    std::size_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

  private:
    struct Timed {
        MidiShortMessage message = 0;
        std::int64_t dueNs = 0;  // on the steady clock
    };
    JackMidiOutput() = default;
    static int process(std::uint32_t frames, void* self);
    static void shutdown(void* self);
    static void reportLatency(int mode, void* self);
    void processCycle(std::uint32_t frames);

    JackClientInUse inUse_;
    void* client_ = nullptr;  // jack_client_t
    void* port_ = nullptr;    // jack_port_t
    std::string destination_;
    std::string label_;
    SpscRing<Timed, 4096> ring_;
    std::atomic<bool> serverGone_{false};
    std::atomic<std::size_t> dropped_{0};
    std::chrono::nanoseconds lead_{0};
};

}  // namespace halvorn

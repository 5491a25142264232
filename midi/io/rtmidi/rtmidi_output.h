#pragma once
// System MIDI ports through RtMidi (the ALSA sequencer or JACK on Linux,
// CoreMIDI, Windows MM).

#include <RtMidi.h>

#include <memory>
#include <string>
#include <vector>

#include "midi/midi_output.h"

namespace halvorn {

struct RtMidiPort {
    RtMidi::Api api = RtMidi::UNSPECIFIED;
    unsigned int index = 0;
    std::string name;
};

// Every output port of every compiled API that works here, in API order.
// `note` tells why there are none (for example no ALSA sequencer).
std::vector<RtMidiPort> rtMidiListOutputPorts(std::string& note);

class RtMidiOutput final : public MidiOutput {
  public:
    // Null with `error` set when the port cannot be opened.
    static std::unique_ptr<RtMidiOutput> open(const RtMidiPort& port, std::string& error);
    ~RtMidiOutput() override;

    void send(MidiShortMessage message, std::chrono::nanoseconds due) override;

  private:
    explicit RtMidiOutput(std::unique_ptr<RtMidiOut> out) : out_(std::move(out)) {}
    std::unique_ptr<RtMidiOut> out_;
};

}  // namespace halvorn

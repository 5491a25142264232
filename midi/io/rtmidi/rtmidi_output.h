#pragma once
// System MIDI ports through RtMidi (the ALSA sequencer or JACK on Linux,
// CoreMIDI, Windows MM).

#include <RtMidi.h>

#include <memory>
#include <string>
#include <vector>

#include "midi/midi_output.h"
#include "model/expected.h"

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
    // The open port, or one line saying why it cannot be opened.
    static Expected<std::unique_ptr<RtMidiOutput>, std::string> open(const RtMidiPort& port);
    ~RtMidiOutput() override;

    void send(MidiShortMessage message, std::chrono::nanoseconds due) override;

  private:
    explicit RtMidiOutput(std::unique_ptr<RtMidiOut> out) : out_(std::move(out)) {}
    std::unique_ptr<RtMidiOut> out_;
};

}  // namespace halvorn

#pragma once
// System MIDI ports through RtMidi: on Linux the ALSA sequencer's and, when
// a JACK server answers, JACK's, side by side; CoreMIDI, Windows MM
// elsewhere.

#include <RtMidi.h>

#include <memory>
#include <string>
#include <vector>

#include "midi/io/jack/jack_clients.h"
#include "midi/io/jack/jack_watch.h"
#include "midi/midi_output.h"
#include "model/error.h"
#include "model/expected.h"

namespace halvorn {

struct RtMidiPort {
    RtMidi::Api api = RtMidi::UNSPECIFIED;
    unsigned int index = 0;
    std::string name;   // as the system names it: how the port is found again
    std::string label;  // what the user sees: the name after the system's
};

struct RtMidiPortList {
    std::vector<RtMidiPort> ports;  // in compiled-API order, then the system's
    // One line for each system that cannot be asked here (no ALSA
    // sequencer, no JACK server running).
    std::vector<std::string> unavailable;
};

// Every system's ports, each asked through a client made for the purpose.
RtMidiPortList rtMidiListOutputPorts();

// A client of `api` for listing or sending, or null with `error` saying
// why. A JACK client made while no server runs exists but says so in
// `error`.
std::unique_ptr<RtMidiOut> rtMidiClient(RtMidi::Api api, std::string& error);
// Appends the output ports `client` (of `api`) sees, labelled.
void rtMidiAppendPorts(RtMidiOut& client, RtMidi::Api api, RtMidiPortList& list);
RtMidiPort rtMidiPortOf(RtMidi::Api api, unsigned int index, std::string name);
// The line for a system that cannot be asked.
std::string rtMidiUnavailableNote(RtMidi::Api api);

// "ALSA", "JACK", ...: what a port's label begins with.
std::string rtMidiSystemName(RtMidi::Api api);

class RtMidiOutput final : public MidiOutput {
  public:
    // The open port, or one line saying why it cannot be opened.
    static Expected<std::unique_ptr<RtMidiOutput>, Error> open(const RtMidiPort& port);
    ~RtMidiOutput() override;

    void send(MidiShortMessage message, std::chrono::nanoseconds due) override;
    // Looks the port up again through a client of its own, so it never
    // disturbs the sending one; a JACK port is also gone when its server
    // stops.
    std::string lostReason() override;

  private:
    RtMidiOutput(RtMidiPort port, std::unique_ptr<RtMidiOut> out);
    RtMidiPort port_;
    std::unique_ptr<JackClientInUse> jackInUse_;  // for JACK ports; goes after the clients
    std::unique_ptr<RtMidiOut> out_;
    std::unique_ptr<RtMidiOut> watcher_;      // other systems' ports
    std::unique_ptr<JackWatch> jackWatcher_;  // JACK ports
};

}  // namespace halvorn

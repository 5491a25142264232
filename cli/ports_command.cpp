// halvorn-cli ports
// Lists the MIDI output devices "play --port N" can use: the built-in
// synthesizer with the sound server it plays through, then the system's
// ports labelled (ALSA) or (JACK); then what is missing on this machine (no
// sound server or card, no ALSA sequencer, no JACK server).
#include <array>
#include <cstdio>
#include <string>

#include "cli/arguments.h"
#include "cli/command.h"
#include "midi/device_list.h"
#include "midi/io/fluidsynth/synth_output.h"
#include "midi/io/system_clock_sources.h"
#include "midi/io/system_devices.h"
#include "midi/midi_system.h"

namespace halvorn::cli {
namespace {

// The MIDI input ports "play --sync midi:N" follows, numbered from 0.
CommandResult listInputs() {
    MidiSystem system;
    installSystemClockSources(system);
    const auto names = system.clockSources->inputPortNames();
    for (std::size_t i = 0; i < names.size(); ++i) std::printf("%zu: %s\n", i, names[i].c_str());
    if (names.empty()) std::printf("No MIDI input ports.\n");
    return {};
}

constexpr std::array<Option, 1> kOptions = {{
    {"--inputs", "",
     "list the MIDI input ports instead, where \"play --sync midi:N\" can take MIDI clock from"},
}};

CommandResult runPorts(const Arguments& arguments) {
    if (arguments.has("--inputs")) return listInputs();
    MidiSystem system;
    const auto notes = installSystemMidiDevices(system);
    const auto& devices = midiOutputDevices(system);
    for (const MidiOutputDevice& device : devices) {
        std::string line = std::to_string(device.deviceId) + ": " + device.name;
        if (device.name == kBuiltInSynthName) {
            const auto audio = synthAudioOutputAvailable();
            line += audio ? " (sound through " + *audio + ")"
                          : " (cannot sound here: " + audio.error().message + ")";
        }
        std::printf("%s\n", line.c_str());
    }
    if (devices.empty()) std::printf("No MIDI output ports.\n");
    for (const std::string& note : notes) std::printf("%s\n", note.c_str());
    return {};
}

}  // namespace

Command portsCommand() {
    return {"ports", "",
            "Lists the outputs \"play --port N\" plays on, numbered from 0: the built-in "
            "General MIDI synthesizer first (when a soundfont is installed) with the sound "
            "server it plays through, then the MIDI ports of the ALSA sequencer and of JACK; "
            "then what this machine lacks. With --inputs, the MIDI input ports instead.",
            kOptions, runPorts};
}

}  // namespace halvorn::cli

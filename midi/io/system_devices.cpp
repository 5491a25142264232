#include "midi/io/system_devices.h"

#include <filesystem>
#include <memory>

#include "midi/device_list.h"
#include "midi/io/fluidsynth/synth_output.h"
#include "midi/io/jack/jack_midi_output.h"
#include "midi/io/rtmidi/rtmidi_output.h"
#include "midi/io/rtmidi/rtmidi_port_lister.h"
#include "midi/midi_system.h"
#include "midi/output_device_provider.h"

namespace halvorn {

namespace {

bool soundfontExists() {
    std::error_code ignored;
    return std::filesystem::is_regular_file(kDefaultSoundfontPath, ignored);
}

OutputDeviceEntry synthEntry() {
    return {kBuiltInSynthName, []() -> Expected<std::unique_ptr<MidiOutput>, Error> {
                auto output = SynthOutput::create(kDefaultSoundfontPath);
                if (!output) return unexpected(output.error());
                return std::unique_ptr<MidiOutput>(std::move(*output));
            }};
}

OutputDeviceEntry portEntry(const RtMidiPort& port) {
    if (port.api == RtMidi::UNIX_JACK) {
        // Our own JACK client, which places each message on its frame.
        return {port.label, [port]() -> Expected<std::unique_ptr<MidiOutput>, Error> {
                    auto output = JackMidiOutput::open(port.name, port.label);
                    if (!output) return unexpected(output.error());
                    return std::unique_ptr<MidiOutput>(std::move(*output));
                }};
    }
    return {port.label, [port]() -> Expected<std::unique_ptr<MidiOutput>, Error> {
                auto output = RtMidiOutput::open(port);
                if (!output) return unexpected(output.error());
                return std::unique_ptr<MidiOutput>(std::move(*output));
            }};
}

// The synthesizer when its soundfont exists, then `ports`.
std::vector<OutputDeviceEntry> systemEntries(const RtMidiPortList& ports,
                                             std::vector<std::string>& notes) {
    std::vector<OutputDeviceEntry> entries;
    if (soundfontExists())
        entries.push_back(synthEntry());
    else
        notes.push_back(std::string("No built-in synthesizer: no soundfont at ") +
                        kDefaultSoundfontPath + ".");
    for (const RtMidiPort& port : ports.ports) entries.push_back(portEntry(port));
    for (const std::string& unavailable : ports.unavailable) notes.push_back(unavailable + ".");
    return entries;
}

}  // namespace

std::vector<std::string> installSystemMidiDevices(MidiSystem& system) {
    std::vector<std::string> notes;
    const RtMidiPortList ports = rtMidiListOutputPorts();
    auto entries = systemEntries(ports, notes);
    // Rescans keep their clients from one to the next; nothing is opened
    // until the first.
    auto lister = std::make_shared<RtMidiPortLister>(ports);
    auto scan = [lister] {
        std::vector<std::string> ignored;
        return systemEntries(lister->list(), ignored);
    };
    system.deviceProvider = std::make_shared<OutputDeviceProvider>(
        std::move(entries), std::make_shared<SteadyMidiClock>(), std::move(scan));
    midiListOutputDevices(system);
    return notes;
}

}  // namespace halvorn

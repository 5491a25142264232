#include "midi/device_list.h"

#include <utility>

#include "midi/midi_system.h"

namespace halvorn {

void midiListOutputDevices(MidiSystem& system) {
    system.devices.clear();
    if (!system.deviceProvider) return;
    std::uint32_t id = 0;
    for (std::string& name : system.deviceProvider->deviceNames())
        system.devices.push_back(MidiOutputDevice{id++, std::move(name)});
}

const std::vector<MidiOutputDevice>& midiOutputDevices(const MidiSystem& system) {
    return system.devices;
}

Expected<std::unique_ptr<MidiStream>, Error> midiOpenDeviceStream(MidiSystem& system,
                                                                  std::int32_t port,
                                                                  MidiStreamDoneFunction done) {
    if (system.devices.empty() || !system.deviceProvider)
        return unexpected(errorOf(ErrorCode::kDevice, "No MIDI output device is available."));
    if (port < 0 || static_cast<std::size_t>(port) >= system.devices.size())
        return unexpected(errorOf(ErrorCode::kDevice, "The selected MIDI port does not exist."));
    auto stream = system.deviceProvider->openStream(system.devices[port].deviceId, std::move(done));
    if (!stream && stream.error().message.empty())
        return unexpected(errorOf(ErrorCode::kDevice, "The MIDI output cannot be opened."));
    return stream;
}

}  // namespace halvorn

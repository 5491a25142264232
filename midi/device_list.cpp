#include "midi/device_list.h"

#include <algorithm>
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

namespace {

bool sameNames(const std::vector<MidiOutputDevice>& devices,
               const std::vector<std::string>& names) {
    return std::equal(devices.begin(), devices.end(), names.begin(), names.end(),
                      [](const MidiOutputDevice& d, const std::string& n) { return d.name == n; });
}

}  // namespace

bool midiRefreshOutputDevices(MidiSystem& system) {
    if (!system.deviceProvider || !system.deviceProvider->rescan()) return false;
    std::vector<std::string> names = system.deviceProvider->deviceNames();
    // Identifiers are list positions: the same names make the same list.
    if (sameNames(system.devices, names)) return false;
    const std::int32_t port = system.settings.selectedPort;
    if (port >= 0 && static_cast<std::size_t>(port) < system.devices.size())
        system.awaitedPortName = system.devices[static_cast<std::size_t>(port)].name;
    system.devices.clear();
    std::uint32_t id = 0;
    for (std::string& name : names) system.devices.push_back({id++, std::move(name)});
    // Nothing chosen yet: the first device, as at start-up, stays the choice.
    if (system.awaitedPortName.empty()) return true;
    const auto found =
        std::find_if(system.devices.begin(), system.devices.end(),
                     [&](const MidiOutputDevice& d) { return d.name == system.awaitedPortName; });
    system.settings.selectedPort = found == system.devices.end()
                                       ? -1
                                       : static_cast<std::int32_t>(found - system.devices.begin());
    return true;
}

std::string midiMissingPortName(const MidiSystem& system) {
    return system.settings.selectedPort < 0 ? system.awaitedPortName : std::string();
}

Expected<std::unique_ptr<MidiStream>, Error> midiOpenDeviceStream(MidiSystem& system,
                                                                  std::int32_t port,
                                                                  MidiStreamDoneFunction done) {
    if (const std::string missing = midiMissingPortName(system); port < 0 && !missing.empty())
        return unexpected(
            errorOf(ErrorCode::kDevice, "The MIDI port \"" + missing + "\" is not connected."));
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

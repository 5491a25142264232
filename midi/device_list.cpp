#include "midi/device_list.h"

#include <utility>

namespace halvorn {

namespace {

struct DeviceRegistry {
    std::shared_ptr<MidiDeviceProvider> provider;
    std::vector<MidiOutputDevice> devices;
};

DeviceRegistry& registry() {
    static DeviceRegistry instance;
    return instance;
}

}  // namespace

void midiSetDeviceProvider(std::shared_ptr<MidiDeviceProvider> provider) {
    registry().provider = std::move(provider);
}

std::shared_ptr<MidiDeviceProvider> midiDeviceProvider() {
    return registry().provider;
}

void midiListOutputDevices() {
    DeviceRegistry& r = registry();
    r.devices.clear();
    if (!r.provider) return;
    std::uint32_t id = 0;
    for (std::string& name : r.provider->deviceNames())
        r.devices.push_back(MidiOutputDevice{id++, std::move(name)});
}

const std::vector<MidiOutputDevice>& midiOutputDevices() {
    return registry().devices;
}

Expected<std::unique_ptr<MidiStream>, std::string> midiOpenDeviceStream(
    std::int32_t port, MidiStreamDoneFunction done) {
    DeviceRegistry& r = registry();
    if (r.devices.empty() || !r.provider)
        return unexpected(std::string("No MIDI output device is available."));
    if (port < 0 || static_cast<std::size_t>(port) >= r.devices.size())
        return unexpected(std::string("The selected MIDI port does not exist."));
    auto stream = r.provider->openStream(r.devices[port].deviceId, std::move(done));
    if (!stream && stream.error().empty())
        return unexpected(std::string("The MIDI output cannot be opened."));
    return stream;
}

}  // namespace halvorn

#include "ui/pages/global/output_devices.h"

#include "midi/device_list.h"

namespace halvorn {

QStringList outputDeviceNames(const MidiSystem& midi) {
    QStringList names;
    for (const MidiOutputDevice& device : midiOutputDevices(midi)) {
        names << QString::fromStdString(device.name);
    }
    return names;
}

QStringList portEntries(const MidiSystem& midi) {
    QStringList entries = outputDeviceNames(midi);
    const std::string missing = midiMissingPortName(midi);
    if (!missing.empty())
        entries << QStringLiteral("%1 (not connected)").arg(QString::fromStdString(missing));
    return entries;
}

std::int32_t portOfEntry(const MidiSystem& midi, int entry) {
    return entry >= 0 && entry < static_cast<int>(midiOutputDevices(midi).size()) ? entry : -1;
}

int entryOfPort(const MidiSystem& midi, std::int32_t port) {
    const auto devices = static_cast<std::int32_t>(midiOutputDevices(midi).size());
    if (port >= 0 && port < devices) return port;
    return midiMissingPortName(midi).empty() ? -1 : devices;
}

}  // namespace halvorn

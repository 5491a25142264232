#include "ui/pages/global/output_devices.h"

namespace halvorn {

QStringList outputDeviceNames(const MidiSystem& midi) {
    QStringList names;
    for (const MidiOutputDevice& device : midiOutputDevices(midi)) {
        names << QString::fromStdString(device.name);
    }
    return names;
}

}  // namespace halvorn

#include "app/output_device_list.h"

#include "ui/output_devices.h"

namespace halvorn {

// TODO(playback): take the names from midiListOutputDevices once the device
// list is part of the MIDI module; until then "Port:" stays empty.
void installOutputDeviceList() {
    setOutputDeviceNameSource([] { return QStringList(); });
}

}  // namespace halvorn

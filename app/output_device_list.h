#pragma once
// Builds the MIDI output device list once and points the "Port:" list at its
// names.

namespace halvorn {

void installOutputDeviceList();

}  // namespace halvorn

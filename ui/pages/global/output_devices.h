#pragma once
// The names the "Port:" list offers: the MIDI device list's, in its order.

#include <QStringList>

#include "midi/midi_system.h"

namespace halvorn {

QStringList outputDeviceNames(const MidiSystem& midi);

}  // namespace halvorn

#pragma once
// The entries the "Port:" list offers: the MIDI device list's names, in its
// order, and, while the selected device is gone, one more after them that
// shows it as gone ("NAME (not connected)"), so the list never goes blank
// under a device that was unplugged or whose server stopped.

#include <QStringList>
#include <cstdint>

#include "midi/midi_system.h"

namespace halvorn {

QStringList outputDeviceNames(const MidiSystem& midi);

// The device names and the entry of the selected device while it is gone.
QStringList portEntries(const MidiSystem& midi);

// The port (the device list's index) entry `entry` stands for: -1 for the
// gone device's entry and for no entry.
std::int32_t portOfEntry(const MidiSystem& midi, int entry);

// The entry that shows `port`: the device's own, the gone device's entry
// for -1 while there is one, else -1.
int entryOfPort(const MidiSystem& midi, std::int32_t port);

}  // namespace halvorn

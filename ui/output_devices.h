#pragma once
// The names the "Port:" list offers, in device-list order. The application
// points the source at the MIDI device list when it starts; until then, and in
// tests that set nothing, the list is empty.

#include <QStringList>
#include <functional>

namespace halvorn {

using OutputDeviceNameSource = std::function<QStringList()>;

void setOutputDeviceNameSource(OutputDeviceNameSource source);
QStringList outputDeviceNames();

}  // namespace halvorn

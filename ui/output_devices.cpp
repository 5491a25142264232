#include "ui/output_devices.h"

namespace halvorn {
namespace {
OutputDeviceNameSource& nameSource() {
    static OutputDeviceNameSource source;
    return source;
}
}  // namespace

void setOutputDeviceNameSource(OutputDeviceNameSource source) {
    nameSource() = std::move(source);
}

QStringList outputDeviceNames() {
    return nameSource() ? nameSource()() : QStringList();
}

}  // namespace halvorn

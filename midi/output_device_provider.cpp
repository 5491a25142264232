#include "midi/output_device_provider.h"

#include "midi/software_midi_stream.h"

namespace halvorn {

OutputDeviceProvider::OutputDeviceProvider(std::vector<OutputDeviceEntry> entries,
                                           std::shared_ptr<MidiClock> clock, OutputDeviceScan scan)
    : entries_(std::move(entries)), clock_(std::move(clock)), scan_(std::move(scan)) {}

bool OutputDeviceProvider::rescan() {
    if (!scan_) return false;
    entries_ = scan_();
    return true;
}

std::vector<std::string> OutputDeviceProvider::deviceNames() {
    std::vector<std::string> names;
    for (const auto& entry : entries_) names.push_back(entry.name);
    return names;
}

Expected<std::unique_ptr<MidiStream>, Error> OutputDeviceProvider::openStream(
    std::uint32_t deviceId, MidiStreamDoneFunction done) {
    if (deviceId >= entries_.size())
        return unexpected(errorOf(ErrorCode::kDevice, "No such MIDI output device."));
    auto output = entries_[deviceId].open();
    if (!output) return unexpected(output.error());
    return std::unique_ptr<MidiStream>(
        std::make_unique<SoftwareMidiStream>(std::move(*output), clock_, std::move(done)));
}

}  // namespace halvorn

#pragma once
// A device provider over a list of outputs: each open makes the output and a
// SoftwareMidiStream on the given clock around it. With a scan function the
// list is replaced by the scan's on every rescan; without, it never changes.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "midi/device_list.h"
#include "midi/midi_clock.h"
#include "midi/midi_output.h"

namespace halvorn {

struct OutputDeviceEntry {
    std::string name;
    // The output, or one line saying why it cannot be opened.
    std::function<Expected<std::unique_ptr<MidiOutput>, Error>()> open;
};

using OutputDeviceScan = std::function<std::vector<OutputDeviceEntry>()>;

class OutputDeviceProvider final : public MidiDeviceProvider {
  public:
    OutputDeviceProvider(std::vector<OutputDeviceEntry> entries, std::shared_ptr<MidiClock> clock,
                         OutputDeviceScan scan = {});

    std::vector<std::string> deviceNames() override;
    bool rescan() override;
    Expected<std::unique_ptr<MidiStream>, Error> openStream(std::uint32_t deviceId,
                                                            MidiStreamDoneFunction done) override;

  private:
    std::vector<OutputDeviceEntry> entries_;
    std::shared_ptr<MidiClock> clock_;
    OutputDeviceScan scan_;
};

}  // namespace halvorn

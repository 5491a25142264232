#pragma once
// A device provider over a fixed list of outputs: each open makes the output
// and a SoftwareMidiStream on the given clock around it.

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
    // Null with `error` set when the output cannot be opened.
    std::function<std::unique_ptr<MidiOutput>(std::string& error)> open;
};

class OutputDeviceProvider final : public MidiDeviceProvider {
  public:
    OutputDeviceProvider(std::vector<OutputDeviceEntry> entries, std::shared_ptr<MidiClock> clock);

    std::vector<std::string> deviceNames() override;
    std::unique_ptr<MidiStream> openStream(std::uint32_t deviceId, MidiStreamDoneFunction done,
                                           std::string& error) override;

  private:
    std::vector<OutputDeviceEntry> entries_;
    std::shared_ptr<MidiClock> clock_;
};

}  // namespace halvorn

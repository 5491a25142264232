// The device list as outputs come and go: a refresh rebuilds it only when
// the names changed, and the selection follows the selected device by name.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "midi/device_list.h"
#include "midi/midi_system.h"
#include "midi/output_device_provider.h"

namespace halvorn::test {
namespace {

// A provider whose outputs are whatever `present` names at each rescan.
struct ChangingOutputs {
    ChangingOutputs() {
        auto scan = [this] {
            std::vector<OutputDeviceEntry> entries;
            for (const std::string& name : present) entries.push_back({name, {}});
            return entries;
        };
        midi.deviceProvider = std::make_shared<OutputDeviceProvider>(
            std::vector<OutputDeviceEntry>{}, std::make_shared<SteadyMidiClock>(), scan);
    }

    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const MidiOutputDevice& device : midiOutputDevices(midi))
            result.push_back(device.name);
        return result;
    }

    std::vector<std::string> present;
    MidiSystem midi;
};

TEST(DeviceRefreshTest, SelectionFollowsItsDeviceByNameAsOutputsComeAndGo) {
    ChangingOutputs outputs;
    outputs.present = {"Synth", "Port A"};
    EXPECT_TRUE(midiRefreshOutputDevices(outputs.midi));
    EXPECT_EQ(outputs.names(), outputs.present);
    // Nothing chosen yet: the first device stays the choice.
    EXPECT_EQ(outputs.midi.settings.selectedPort, 0);
    EXPECT_FALSE(midiRefreshOutputDevices(outputs.midi)) << "same names, same list";

    outputs.midi.settings.selectedPort = 1;  // "Port A"
    outputs.present = {"Synth", "Port 0", "Port A"};
    EXPECT_TRUE(midiRefreshOutputDevices(outputs.midi));
    EXPECT_EQ(outputs.midi.settings.selectedPort, 2) << "moved, still selected";
    for (std::size_t i = 0; i < outputs.midi.devices.size(); ++i)
        EXPECT_EQ(outputs.midi.devices[i].deviceId, i);

    outputs.present = {"Synth", "Port 0"};
    EXPECT_TRUE(midiRefreshOutputDevices(outputs.midi));
    EXPECT_EQ(outputs.midi.settings.selectedPort, -1) << "gone: nothing selected";
    EXPECT_EQ(midiMissingPortName(outputs.midi), "Port A");
    const auto opened = midiOpenDeviceStream(outputs.midi, -1, {});
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().message, "The MIDI port \"Port A\" is not connected.");
    outputs.present = {"Port B", "Synth", "Port 0"};
    EXPECT_TRUE(midiRefreshOutputDevices(outputs.midi));
    EXPECT_EQ(outputs.midi.settings.selectedPort, -1);
    outputs.present = {"Port B", "Port A", "Synth", "Port 0"};
    EXPECT_TRUE(midiRefreshOutputDevices(outputs.midi));
    EXPECT_EQ(outputs.midi.settings.selectedPort, 1) << "back: selected again";
    EXPECT_EQ(midiMissingPortName(outputs.midi), "");

    // A choice made meanwhile wins over the one awaited.
    outputs.present = {"Port B", "Synth", "Port 0"};
    midiRefreshOutputDevices(outputs.midi);
    outputs.midi.settings.selectedPort = 0;  // "Port B"
    outputs.present = {"Port A", "Port B", "Synth", "Port 0"};
    EXPECT_TRUE(midiRefreshOutputDevices(outputs.midi));
    EXPECT_EQ(outputs.midi.settings.selectedPort, 1);
    EXPECT_EQ(outputs.midi.devices[1].name, "Port B");
}

TEST(DeviceRefreshTest, AFixedListOrNoProviderNeverChanges) {
    MidiSystem none;
    EXPECT_FALSE(midiRefreshOutputDevices(none));
    MidiSystem fixed;
    fixed.deviceProvider = std::make_shared<OutputDeviceProvider>(
        std::vector<OutputDeviceEntry>{{"Only", {}}}, std::make_shared<SteadyMidiClock>());
    midiListOutputDevices(fixed);
    fixed.settings.selectedPort = 0;
    EXPECT_FALSE(midiRefreshOutputDevices(fixed));
    ASSERT_EQ(fixed.devices.size(), 1u);
    EXPECT_EQ(fixed.settings.selectedPort, 0);
}

}  // namespace
}  // namespace halvorn::test

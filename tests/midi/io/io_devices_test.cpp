// The system device list on whatever this machine has: the synthesizer
// first when a soundfont exists, system ports after, each labelled with its
// system, never a crash. (tests/midi/io/live_playback_check.py plays on real
// servers.)

#include <gtest/gtest.h>

#include <filesystem>

#include "midi/device_list.h"
#include "midi/io/fluidsynth/synth_output.h"
#include "midi/io/rtmidi/rtmidi_output.h"
#include "midi/io/system_devices.h"
#include "midi/midi_system.h"
#include "midi/playback.h"
#include "tests/support/playback_lease.h"

namespace halvorn::test {
namespace {

TEST(SystemDevicesTest, SynthesizerFirstThenSystemPortsLabelledWithTheirSystem) {
    MidiSystem midi;
    PlaybackLease lease;
    const auto notes = installSystemMidiDevices(midi);
    const auto& devices = midiOutputDevices(midi);
    const RtMidiPortList ports = rtMidiListOutputPorts();
    const bool synth = std::filesystem::exists(kDefaultSoundfontPath);
    ASSERT_EQ(devices.size(), ports.ports.size() + (synth ? 1 : 0));
    if (synth) {
        EXPECT_EQ(devices[0].name, kBuiltInSynthName);
    }
    for (std::size_t i = 0; i < devices.size(); ++i) EXPECT_EQ(devices[i].deviceId, i);
    for (const RtMidiPort& port : ports.ports)
        EXPECT_EQ(port.label, port.name + " (" + rtMidiSystemName(port.api) + ")");
    // Each system that cannot be asked says so, and only those.
    EXPECT_EQ(notes.size(), ports.unavailable.size() + (synth ? 0 : 1));
}

TEST(SystemDevicesTest, PlaybackOnAnUnusableDeviceFailsCleanly) {
    MidiSystem midi;
    PlaybackLease lease;
    installSystemMidiDevices(midi);
    if (midiOutputDevices(midi).empty() || synthAudioOutputAvailable())
        GTEST_SKIP() << "this machine can play";
    MidiSong song;
    song.tracks[0].events = {{0, 0x90, 60, 100}, {10, 0x90, 60, 0}};
    midiSongCountEvents(song);
    midiSongComputeLength(song);
    midi.settings.selectedPort = 0;
    const MidiStatus prepared =
        keep(lease, midiPlaybackPrepare(midi.playback(), &song, nullptr, false, false));
    EXPECT_EQ(prepared, MidiResult::kDeviceError);
    ASSERT_FALSE(prepared);
    EXPECT_NE(prepared.error().message.find("no audio output"), std::string::npos);
    EXPECT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kDeviceError);
    EXPECT_EQ(midiCloseStream(midi.playback()), MidiResult::kOk);
    midi.settings.selectedPort = 99;
    EXPECT_EQ(keep(lease, midiPlaybackPrepare(midi.playback(), &song, nullptr, false, false)),
              MidiResult::kDeviceError);
}

}  // namespace
}  // namespace halvorn::test

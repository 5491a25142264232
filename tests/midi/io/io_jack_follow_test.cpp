// What follows a JACK server of the test's own: the device list as a client
// registers and unregisters MIDI ports after start-up, and the built-in
// synthesizer's playback when the server it plays to stops mid-piece.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "midi/device_list.h"
#include "midi/io/fluidsynth/synth_output.h"
#include "midi/io/rtmidi/rtmidi_output.h"
#include "midi/io/rtmidi/rtmidi_port_lister.h"
#include "midi/io/system_devices.h"
#include "midi/midi_system.h"
#include "midi/playback.h"
#include "tests/support/jack_test_server.h"
#include "tests/support/playback_lease.h"
#include "tests/support/wait_for.h"

namespace halvorn::test {
namespace {

using namespace std::chrono_literals;

std::int32_t indexOf(const MidiSystem& midi, const std::string& name) {
    const auto& devices = midiOutputDevices(midi);
    const auto found = std::find_if(devices.begin(), devices.end(),
                                    [&](const MidiOutputDevice& d) { return d.name == name; });
    return found == devices.end() ? -1 : static_cast<std::int32_t>(found - devices.begin());
}

// Refreshes as the Global page does (but more often) until `condition`
// holds; false after two seconds.
template <typename Condition>
bool refreshUntil(MidiSystem& midi, Condition condition) {
    return waitFor(
        [&] {
            midiRefreshOutputDevices(midi);
            return condition();
        },
        2s);
}

TEST(JackFollowTest, PortsRegisteredAfterStartUpComeAndGoWithTheSelectionKeptByName) {
    JackTestServer server;
    ASSERT_TRUE(server.answering()) << "jackd did not start";
    MidiSystem midi;
    PlaybackLease lease;
    installSystemMidiDevices(midi);
    const std::size_t atStart = midiOutputDevices(midi).size();

    JackTestClient client("halvorn-test-ports");
    ASSERT_TRUE(client.open());
    const std::string first = client.addMidiInput("first");
    const std::string wanted = client.addMidiInput("wanted");
    ASSERT_FALSE(wanted.empty());
    const std::string label = wanted + " (JACK)";
    ASSERT_TRUE(refreshUntil(midi, [&] { return indexOf(midi, label) >= 0; }));
    EXPECT_EQ(midiOutputDevices(midi).size(), atStart + 2);
    // The rescanning lister names ports as the one-off listing does, once
    // its JACK client (made on a thread of its own) answers. It goes before
    // the server (jack_clients.h).
    {
        const RtMidiPortList once = rtMidiListOutputPorts();
        RtMidiPortLister lister;
        RtMidiPortList again;
        ASSERT_TRUE(waitFor(
            [&] {
                again = lister.list();
                return again.ports.size() == once.ports.size();
            },
            2s));
        for (std::size_t i = 0; i < once.ports.size(); ++i) {
            EXPECT_EQ(once.ports[i].name, again.ports[i].name);
            EXPECT_EQ(once.ports[i].label, again.ports[i].label);
        }
    }

    const std::int32_t selected = indexOf(midi, label);
    midi.settings.selectedPort = selected;
    ASSERT_TRUE(client.remove(first));
    ASSERT_TRUE(refreshUntil(midi, [&] { return indexOf(midi, label) == selected - 1; }));
    EXPECT_EQ(midi.settings.selectedPort, selected - 1) << "moved, still selected";

    ASSERT_TRUE(client.remove(wanted));
    ASSERT_TRUE(refreshUntil(midi, [&] { return indexOf(midi, label) < 0; }));
    EXPECT_EQ(midiOutputDevices(midi).size(), atStart);
    EXPECT_EQ(midi.settings.selectedPort, -1);
    ASSERT_EQ(client.addMidiInput("wanted"), wanted);
    ASSERT_TRUE(refreshUntil(midi, [&] { return indexOf(midi, label) >= 0; }));
    EXPECT_EQ(midi.settings.selectedPort, indexOf(midi, label)) << "back, selected again";

    // A client that quits takes its ports along; the list outlives the
    // server and finds a new one.
    client.close();
    ASSERT_TRUE(refreshUntil(midi, [&] { return indexOf(midi, label) < 0; }));
    EXPECT_EQ(midiOutputDevices(midi).size(), atStart);
    server.stop();
    for (int i = 0; i < 3; ++i) midiRefreshOutputDevices(midi);
    JackTestServer next;
    ASSERT_TRUE(next.answering());
    JackTestClient nextClient("halvorn-test-next");
    const std::string nextPort = nextClient.addMidiInput("in");
    // A server that was not there is looked for again every few seconds.
    ASSERT_TRUE(waitFor(
        [&] {
            midiRefreshOutputDevices(midi);
            return indexOf(midi, nextPort + " (JACK)") >= 0;
        },
        RtMidiPortLister::kJackRetry + 2s));
    nextClient.close();
}

TEST(JackFollowTest, SynthesizerPlaybackEndsWithAMessageWhenItsServerStops) {
    if (!std::filesystem::exists(kDefaultSoundfontPath)) GTEST_SKIP() << "no soundfont";
    JackTestServer server;
    ASSERT_TRUE(server.answering()) << "jackd did not start";
    MidiSystem midi;
    PlaybackLease lease;
    installSystemMidiDevices(midi);
    ASSERT_EQ(midiOutputDevices(midi).at(0).name, kBuiltInSynthName);
    midi.settings.selectedPort = 0;

    MidiSong song;  // a minute of long notes
    for (std::uint32_t beat = 0; beat < 100; ++beat) {
        song.tracks[0].events.push_back({beat * 120, 0x90, 60, 80});
        song.tracks[0].events.push_back({beat * 120 + 110, 0x90, 60, 0});
    }
    midiSongCountEvents(song);
    midiSongComputeLength(song);
    std::atomic<bool> ended{false};
    const MidiStatus prepared = keep(
        lease, midiPlaybackPrepare(
                   midi.playback(), &song, [&](std::uint32_t) { ended = true; }, false, false));
    ASSERT_TRUE(prepared) << prepared.error().message;
    ASSERT_EQ(midiPlaybackStart(midi.playback()), MidiResult::kOk);
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(ended);
    EXPECT_EQ(midiPlaybackFailure(midi.playback()), "");

    server.stop();
    const auto stopped = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitFor([&] { return ended.load(); }, 5s)) << "still playing, silently";
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 3s);
    EXPECT_EQ(midiPlaybackFailure(midi.playback()),
              "The audio server (JACK) stopped; playback ended.");
    EXPECT_EQ(midiPlaybackStop(midi.playback()), MidiResult::kOk);
    EXPECT_EQ(midiCloseStream(midi.playback()), MidiResult::kOk);
}

}  // namespace
}  // namespace halvorn::test

#pragma once
// The MIDI side of one running program: the settings the pages share, the
// output device list with the provider that knows it, the clock sources
// playback can follow, and the one playback.
// The application (or a command, or a test) makes one and hands it to what
// plays; the device-list operations take it as their first parameter, the
// playback operations its playback().

#include <memory>
#include <string>
#include <vector>

#include "midi/clock_source.h"
#include "midi/device_list.h"
#include "midi/midi_settings.h"
#include "midi/playback.h"

namespace halvorn {

class MidiSystem {
  public:
    MidiSystem() : playback_(std::make_unique<Playback>(*this)) {}
    // Stops playback and waits for a stream still closing on its own thread.
    ~MidiSystem() { playback_.reset(); }
    MidiSystem(const MidiSystem&) = delete;
    MidiSystem& operator=(const MidiSystem&) = delete;

    // Kept for the whole run, never stored in a document.
    MidiSettings settings;
    // Asked by midiListOutputDevices; null lists no devices. Declared before
    // the playback so that a stream never outlives its provider.
    std::shared_ptr<MidiDeviceProvider> deviceProvider;
    // Opens the clocks "Sync:" offers; null follows nothing but the song.
    std::shared_ptr<ClockSourceProvider> clockSources;
    std::vector<MidiOutputDevice> devices;
    // The name of the device last seen selected: a refresh of the list
    // selects it again wherever it is, or nothing while it is gone.
    std::string awaitedPortName;

    Playback& playback() { return *playback_; }

  private:
    std::unique_ptr<Playback> playback_;
};

}  // namespace halvorn

#pragma once
// The list of MIDI output devices offered as "Port:", and the provider that
// knows them. The core knows no device itself: the application gives its
// MidiSystem a provider (the system's outputs, or a recorder in tests)
// before listing.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "midi/midi_stream.h"
#include "model/error.h"
#include "model/expected.h"

namespace halvorn {

struct MidiOutputDevice {
    std::uint32_t deviceId = 0;
    std::string name;
};

class MidiDeviceProvider {
  public:
    virtual ~MidiDeviceProvider() = default;

    // Device names in identifier order; identifiers are 0..n-1.
    virtual std::vector<std::string> deviceNames() = 0;

    // Looks at the system again, so that the next deviceNames() (and the
    // identifiers openStream() takes) follow the outputs that came or went;
    // false for a provider whose list never changes.
    virtual bool rescan() { return false; }

    // A new stream on `deviceId`, paused, that reports played buffers to
    // `done`; one user-facing line on failure.
    virtual Expected<std::unique_ptr<MidiStream>, Error> openStream(
        std::uint32_t deviceId, MidiStreamDoneFunction done) = 0;
};

class MidiSystem;

// Builds the device list from the system's provider (empty without one).
void midiListOutputDevices(MidiSystem& system);
const std::vector<MidiOutputDevice>& midiOutputDevices(const MidiSystem& system);

// Rescans the provider and rebuilds the list when its names changed; true
// then. The selection follows the selected device by name wherever it moved;
// while it is gone nothing is selected (-1), and it is selected again when
// it comes back, unless another device was chosen meanwhile.
bool midiRefreshOutputDevices(MidiSystem& system);

// The name of the selected device while it is gone (nothing is selected and
// it is awaited); empty otherwise.
std::string midiMissingPortName(const MidiSystem& system);

// Opens a stream on list entry `port`; on failure one user-facing line
// that says why (naming the selected device when it is gone).
Expected<std::unique_ptr<MidiStream>, Error> midiOpenDeviceStream(MidiSystem& system,
                                                                  std::int32_t port,
                                                                  MidiStreamDoneFunction done);

}  // namespace halvorn

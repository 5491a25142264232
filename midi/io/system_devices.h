#pragma once
// The system's MIDI outputs: the built-in synthesizer first (when a
// soundfont exists), then every system MIDI port (the ALSA sequencer's,
// then JACK's, each labelled with its system), all on the real clock.

#include <string>
#include <vector>

namespace halvorn {

inline constexpr const char* kBuiltInSynthName = "Built-in GM synthesizer";

class MidiSystem;

// Gives `system` the system's provider and builds its device list; the
// provider's rescans (midiRefreshOutputDevices) follow ports and the
// soundfont as they come and go. Returns notes on
// what is missing (no soundfont, no ALSA sequencer, no JACK server), one
// line each.
std::vector<std::string> installSystemMidiDevices(MidiSystem& system);

}  // namespace halvorn

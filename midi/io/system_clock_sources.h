#pragma once
// The clocks playback can follow on this system ("Sync:"): MIDI clock from
// any MIDI input port (the ALSA sequencer's and JACK's, labelled like the
// outputs), the JACK transport, and a Link session.

#include <string>

namespace halvorn {

class MidiSystem;

// Gives `system` the system's clock source provider.
void installSystemClockSources(MidiSystem& system);

}  // namespace halvorn

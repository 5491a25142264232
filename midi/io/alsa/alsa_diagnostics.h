#pragma once
// The ALSA library prints its own diagnostics to standard error when no
// sound card or sequencer exists. The backends that reach ALSA (RtMidi's
// sequencer ports, FluidSynth's audio driver) silence them here; failures
// are still reported by the calls that fail. A no-op without ALSA.

namespace halvorn {

void alsaQuietErrors();

}  // namespace halvorn

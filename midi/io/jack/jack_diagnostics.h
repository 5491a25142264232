#pragma once
// libjack prints its own diagnostics to standard error when no JACK server
// runs, and a client that finds none may start one. The backends that reach
// JACK (RtMidi's JACK ports, FluidSynth's JACK audio) call this first: it
// silences the diagnostics (the calls that fail still report failure) and
// keeps every client from starting a server: Halvorn uses the JACK server
// the user runs, never one of its own. Call it on the main thread before
// other threads read the environment. A no-op without JACK.

namespace halvorn {

void jackQuietClient();

}  // namespace halvorn

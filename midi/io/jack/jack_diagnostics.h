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

// Whether a JACK server may be running for this user, looked up without
// libjack: a JACK 2 server keeps its sockets in /dev/shm, named after the
// server (JACK_DEFAULT_SERVER, or "default"). libjack's own look, a client
// open that fails, writes its shared-memory registry there each time, and
// the port lists ask every second while no server runs; this only reads a
// directory. True also where there is no such folder to read.
bool jackServerMayAnswer();

}  // namespace halvorn

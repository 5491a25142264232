#pragma once
// The system's side of the window: the MIDI output device list, built once,
// and the audio export through the built-in synthesizer.

#include "midi/midi_system.h"
#include "ui/session/audio_export_run.h"

namespace halvorn {

// Gives `midi` the system's outputs and builds its device list.
void installOutputDeviceList(MidiSystem& midi);

// "Export Audio..."'s function: the built-in synthesizer's export (the one
// halvorn-cli export-audio uses), at its default soundfont and rate; empty
// where the program was built without it.
AudioExportFunction systemAudioExport();

// "Export Stems..."'s function: halvorn-cli export-audio --stems into the
// folder it is given; empty as above.
AudioExportFunction systemStemsExport();

}  // namespace halvorn

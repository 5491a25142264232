#pragma once
// Builds the MIDI output device list once and points the "Port:" list at its
// names; connects the audio export to the synthesizer.

namespace halvorn {

void installOutputDeviceList();

// Gives "Export Audio..." the built-in synthesizer's export (the one
// halvorn-cli export-audio uses), at its default soundfont and rate.
void installAudioExport();

}  // namespace halvorn

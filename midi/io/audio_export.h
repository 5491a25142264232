#pragma once
// Renders a song to a WAV file: the playback engine plays it on a virtual
// clock into the built-in synthesizer, which renders audio up to each
// message before playing it.

#include <functional>
#include <string>

#include "midi/io/fluidsynth/synth_engine.h"
#include "midi/midi_song.h"
#include "model/expected.h"

namespace halvorn {

struct AudioExportOptions {
    std::string soundfontPath = kDefaultSoundfontPath;
    int sampleRate = 44100;
    double tailSeconds = 1.0;  // after the last event, so released notes fade out
};

// Told the fraction of the song done, 0..1, from the calling thread;
// returning false cancels the export.
using AudioExportProgress = std::function<bool(double fraction)>;

// Writes a 16-bit stereo WAV of `song` followed by the tail. Uses the one
// playback of the process (and restores its device list afterwards). On
// failure one line says why, and no file is left.
Expected<void, std::string> exportSongAudio(MidiSong& song, const std::string& path,
                                            const AudioExportOptions& options,
                                            const AudioExportProgress& progress);

}  // namespace halvorn

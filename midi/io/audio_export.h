#pragma once
// Renders a song to a WAV file: its events go straight into an offline
// synthesizer, each at its own sample frame, as fast as it renders.

#include <functional>
#include <optional>
#include <string>

#include "midi/audio_export_progress.h"
#include "midi/io/fluidsynth/synth_engine.h"
#include "midi/midi_song.h"
#include "model/error.h"
#include "model/expected.h"

namespace halvorn {

// The level a song is exported at when no gain is given: its loudest
// sample this far below full scale.
inline constexpr double kExportPeakDbfs = -3.0;

struct AudioExportOptions {
    std::string soundfontPath = kDefaultSoundfontPath;
    int sampleRate = 44100;
    double tailSeconds = 1.0;  // after the last event, so released notes fade out
    // The synthesizer's gain (kMinSynthGain..kMaxSynthGain), samples beyond
    // full scale clipped. Without one, the song is synthesized once, its peak
    // measured, and it is written scaled to peak at kExportPeakDbfs, whatever
    // the number and loudness of its tracks.
    std::optional<double> gain;
};

// Writes a 16-bit stereo WAV of `song` followed by the tail. Touches no
// playback, device or setting, so it may run on any thread while the
// program plays. On failure "Unable to export audio." with the path and the
// reason, and no file is left.
Expected<void, Error> exportSongAudio(const MidiSong& song, const std::string& path,
                                      const AudioExportOptions& options,
                                      const AudioExportProgress& progress);

}  // namespace halvorn

#pragma once
// "Export Audio...": a rendered piece played through the built-in
// synthesizer into a WAV file, on a thread of its own behind a modal
// progress dialog whose "Cancel" ends it, so the window keeps repainting.
// A cancelled or failed export leaves no file.
//
// The user interface knows no synthesizer: the application hands the export
// function (midi/io's exportSongAudio) to the window; without one the
// command is not available.

#include <QString>
#include <functional>
#include <string>

#include "midi/audio_export_progress.h"
#include "midi/midi_song.h"
#include "model/error.h"
#include "model/expected.h"

class QWidget;

namespace halvorn {

// Writes `song` as a WAV file at `path` (or, for stems, as WAV files into
// the folder `path`); on failure "Unable to export audio." with the path and
// the reason.
using AudioExportFunction = std::function<Expected<void, Error>(
    MidiSong& song, const std::string& path, const AudioExportProgress& progress)>;

enum class AudioExportOutcome { kWritten, kCancelled, kFailed };

struct AudioExportResult {
    AudioExportOutcome outcome = AudioExportOutcome::kFailed;
    Error error;  // why it failed
};

// Exports `song` with `exporter` (on a thread of its own; the song is left
// alone by everything else until it returns) while a progress dialog over
// `parent` shows how far it has come.
AudioExportResult runAudioExport(const AudioExportFunction& exporter, MidiSong& song,
                                 const std::string& path, QWidget* parent);

}  // namespace halvorn

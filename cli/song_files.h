#pragma once
// Reading documents, rendering them and writing MIDI files for the
// subcommands; each failure is an Error whose line names the file.

#include <string>
#include <string_view>

#include "cli/arguments.h"
#include "midi/midi_song.h"
#include "model/document.h"
#include "model/error.h"
#include "model/expected.h"

namespace halvorn::cli {

// The document at `path`.
Expected<Document, Error> loadDocument(const std::string& path);

// What a subcommand that writes a file works on: the document it reads
// (named on the command line) and the -o file it writes (empty where an
// option that stands in for -o was given instead).
struct DocumentJob {
    std::string input;
    std::string output;
    Document document;
};

// The document named on the command line, for a subcommand that writes -o:
// refused when -o is the document itself; `written` says what would have
// replaced it ("the MIDI file", "the audio").
Expected<DocumentJob, Error> loadDocumentFor(const Arguments& arguments,
                                             const std::string& written);

// Where a subcommand writes a file per track (render --split, export-audio
// --stems): the folder named by `option`, never the document itself.
Expected<std::string, Error> trackFolderOf(const Arguments& arguments, std::string_view option);

// Renders the whole song as "Save MIDI" (or, with skipMuted, "Play") does,
// at `ppqn` ticks per quarter note, with a progress bar.
Expected<void, Error> renderDocumentSong(const std::string& input, Document& document,
                                         MidiSong& midi, bool skipMuted, std::int32_t ppqn);

// midiSongAddChannelSetupEvents: each used track's program, volume and pan
// as messages at tick 0.
Expected<void, Error> addChannelSetupEvents(MidiSong& song);

// Writes `song` to `path` with midiSongSave, after the channel set-up when
// `sendInstruments`. A regular file is replaced whole, so a failure leaves
// no partial file.
Expected<void, Error> saveMidiSong(const std::string& path, MidiSong& song, bool sendInstruments);

// One Standard MIDI File per track of `song` that has notes, into `folder`
// (made when it is not there), named by trackFileName ("00-Bass.mid"):
// the conductor track (texts, tempo, time and key signature) and that
// track, after its channel set-up when `sendInstruments`.
Expected<void, Error> saveMidiTracks(const std::string& folder, const MidiSong& song,
                                     bool sendInstruments);

}  // namespace halvorn::cli

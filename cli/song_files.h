#pragma once
// Reading documents, rendering them and writing MIDI files for the
// subcommands; each failure is an Error whose line names the file.

#include <string>

#include "cli/arguments.h"
#include "midi/midi_song.h"
#include "model/document.h"
#include "model/error.h"
#include "model/expected.h"

namespace halvorn::cli {

// The document at `path`.
Expected<Document, Error> loadDocument(const std::string& path);

// What a subcommand that writes a file works on: the document it reads
// (named on the command line) and the -o file it writes.
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

}  // namespace halvorn::cli

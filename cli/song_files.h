#pragma once
// Reading documents, rendering them and writing MIDI files for the
// subcommands; each failure throws CommandFailure with one line that names
// the file.

#include <string>

#include "midi/midi_song.h"
#include "model/document.h"

namespace halvorn::cli {

// The document at `path`.
Document loadDocument(const std::string& path);

// Refuses an output that is the input document itself; `written` says what
// would have replaced it ("the MIDI file", "the audio").
void refuseOverwritingInput(const std::string& input, const std::string& output,
                            const std::string& written);

// Renders the whole song as "Save MIDI" (or, with skipMuted, "Play") does,
// at `ppqn` ticks per quarter note, with a progress bar.
void renderDocumentSong(const std::string& input, Document& document, MidiSong& midi,
                        bool skipMuted, std::int32_t ppqn);

// midiSongAddChannelSetupEvents: each used track's program, volume and pan
// as messages at tick 0.
void addChannelSetupEvents(MidiSong& song);

// Writes `song` to `path` with midiSongSave, after the channel set-up when
// `sendInstruments`. A regular file is replaced whole, so a failure leaves
// no partial file.
void saveMidiSong(const std::string& path, MidiSong& song, bool sendInstruments);

}  // namespace halvorn::cli

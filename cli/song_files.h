#pragma once
// Reading documents and writing MIDI files for the subcommands, each failure
// reported as one error line that names the file.

#include <optional>
#include <string>

#include "engine/render_error.h"
#include "midi/midi_song.h"
#include "model/document.h"

namespace halvorn::cli {

// The document at `path`, or nothing after reporting why it cannot be read.
std::optional<Document> loadDocument(const std::string& path);

// True when the output would overwrite the input document; reports it.
bool refuseOverwritingInput(const std::string& input, const std::string& output);

// The words the user sees for a rendering failure.
std::string renderErrorMessage(RenderError error);

// Renders the whole song as "Save MIDI" (or, with skipMuted, "Play") does,
// at `ppqn` ticks per quarter note, with a progress bar; false after
// reporting why it could not.
bool renderDocumentSong(const std::string& input, Document& document, MidiSong& midi,
                        bool skipMuted, std::int32_t ppqn);

// The option that adds each used track's program, volume and pan as
// messages at tick 0 (midiSongAddChannelSetupEvents).
inline constexpr const char* kSendInstrumentsOption = "--send-instruments";

// midiSongAddChannelSetupEvents; false after reporting why it could not.
bool addChannelSetupEvents(MidiSong& song);

// midiSongWriteFile, reporting a failure. A regular file is replaced whole, so
// a failure leaves no partial file.
bool saveMidiSong(const std::string& path, const MidiSong& song);

}  // namespace halvorn::cli

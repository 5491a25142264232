#include "cli/song_files.h"

#include <filesystem>
#include <system_error>

#include "cli/command.h"
#include "cli/progress_bar.h"
#include "engine/arrangement.h"
#include "midi/smf.h"

namespace halvorn::cli {

std::optional<Document> loadDocument(const std::string& path) {
    Document document;
    std::string error;
    if (!documentRead(path, document, error)) {
        reportError(path + ": " + error);
        return std::nullopt;
    }
    return document;
}

bool refuseOverwritingInput(const std::string& input, const std::string& output) {
    std::error_code ignored;
    if (!std::filesystem::equivalent(input, output, ignored)) return false;
    reportError(output + ": refusing to overwrite the document with the MIDI file");
    return true;
}

bool renderDocumentSong(const std::string& input, Document& document, MidiSong& midi,
                        bool skipMuted) {
    if (document.song.blockCount <= 0) {
        reportError(input + ": Unable to generate MIDI data. The composition has no blocks.");
        return false;
    }
    ProgressBar progress("Rendering");
    // The engine reports its own failures through the message handler.
    return renderSong(midi, document.song, progress, skipMuted);
}

bool saveMidiSong(const std::string& path, const MidiSong& song) {
    const int result = midiSongWriteFile(path, &song);
    if (result == kMidiOk) return true;
    switch (result) {
        case kMidiNothingToDo:
            reportError(path + ": Unable to save MIDI file. No track has any notes.");
            break;
        case kMidiCannotOpen:
            reportError(path + ": Unable to save MIDI file. It cannot be created or written.");
            break;
        case kMidiNotSmf:
            reportError(path +
                        ": Unable to save MIDI file. The song holds times or texts too long "
                        "for a MIDI file.");
            break;
        case kMidiOutOfMemory:
            reportError(path + ": Unable to save MIDI file. Not enough memory.");
            break;
        default:
            reportError(path + ": Unable to save MIDI file. (error " + std::to_string(result) +
                        ")");
            break;
    }
    return false;
}

}  // namespace halvorn::cli

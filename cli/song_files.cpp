#include "cli/song_files.h"

#include <filesystem>
#include <system_error>

#include "cli/command.h"
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
        default:
            reportError(path + ": Unable to save MIDI file. (error " + std::to_string(result) +
                        ")");
            break;
    }
    return false;
}

}  // namespace halvorn::cli

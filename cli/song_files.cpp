#include "cli/song_files.h"

#include <filesystem>
#include <system_error>

#include "cli/command.h"
#include "cli/progress_bar.h"
#include "engine/arrangement.h"
#include "midi/channel_setup.h"
#include "midi/smf.h"

namespace halvorn::cli {

std::optional<Document> loadDocument(const std::string& path) {
    auto document = documentRead(path);
    if (!document) {
        reportError(document.error().line());
        return std::nullopt;
    }
    return std::move(*document);
}

bool refuseOverwritingInput(const std::string& input, const std::string& output) {
    std::error_code ignored;
    if (!std::filesystem::equivalent(input, output, ignored)) return false;
    reportError(output + ": refusing to overwrite the document with the MIDI file");
    return true;
}

std::string renderErrorMessage(RenderError error) {
    return renderErrorText(error);
}

bool renderDocumentSong(const std::string& input, Document& document, MidiSong& midi,
                        bool skipMuted, std::int32_t ppqn) {
    if (document.song.blockCount <= 0) {
        reportError(input + ": Unable to generate MIDI data. The composition has no blocks.");
        return false;
    }
    ProgressBar progress("Rendering");
    const auto rendered = renderSong(midi, document.song, progress, skipMuted, ppqn);
    if (!rendered) reportError(renderErrorMessage(rendered.error()));
    return rendered.has_value();
}

bool addChannelSetupEvents(MidiSong& song) {
    if (midiSongAddChannelSetupEvents(song) == MidiResult::kOk) return true;
    reportError("Not enough memory to generate MIDI data.");
    return false;
}

bool saveMidiSong(const std::string& path, const MidiSong& song) {
    const auto saved = midiSongSave(path, song);
    if (!saved) reportError(saved.error().line());
    return saved.has_value();
}

}  // namespace halvorn::cli

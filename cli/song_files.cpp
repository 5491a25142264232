#include "cli/song_files.h"

#include <filesystem>
#include <system_error>

#include "cli/command.h"
#include "cli/progress_bar.h"
#include "engine/arrangement.h"
#include "midi/channel_setup.h"
#include "midi/smf.h"

namespace halvorn::cli {

Expected<Document, Error> loadDocument(const std::string& path) {
    return documentRead(path);
}

Expected<DocumentJob, Error> loadDocumentFor(const Arguments& arguments,
                                             const std::string& written) {
    const std::string& input = arguments.document();
    auto output = arguments.required("-o");
    if (!output) return unexpected(output.error());
    auto document = loadDocument(input);
    if (!document) return unexpected(document.error());
    std::error_code ignored;
    if (std::filesystem::equivalent(input, *output, ignored))
        return unexpected(commandFailure(ErrorCode::kFileAccess,
                                         *output + ": this is the document being read; " + written +
                                             " would replace it (choose another -o)"));
    return DocumentJob{input, std::move(*output), std::move(*document)};
}

Expected<void, Error> renderDocumentSong(const std::string& input, Document& document,
                                         MidiSong& midi, bool skipMuted, std::int32_t ppqn) {
    if (document.song.blockCount <= 0)
        return unexpected(
            commandFailure(ErrorCode::kNoSong, input + ": Unable to generate MIDI data. The "
                                                       "composition has no blocks."));
    ProgressBar progress("Rendering");
    const auto rendered = renderSong(midi, document.song, progress, skipMuted, ppqn);
    if (!rendered)
        return unexpected(
            commandFailure(rendered.error().code, input + ": " + rendered.error().message));
    return {};
}

Expected<void, Error> addChannelSetupEvents(MidiSong& song) {
    if (midiSongAddChannelSetupEvents(song) != MidiResult::kOk)
        return unexpected(
            commandFailure(ErrorCode::kOutOfMemory, "Not enough memory to generate MIDI data."));
    return {};
}

Expected<void, Error> saveMidiSong(const std::string& path, MidiSong& song, bool sendInstruments) {
    if (sendInstruments) {
        if (auto added = addChannelSetupEvents(song); !added) return added;
    }
    return midiSongSave(path, song);
}

}  // namespace halvorn::cli

#include "cli/song_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "cli/command.h"
#include "cli/progress_bar.h"
#include "engine/arrangement.h"
#include "midi/channel_setup.h"
#include "midi/smf.h"
#include "midi/track_file_names.h"

namespace halvorn::cli {

Expected<Document, Error> loadDocument(const std::string& path) {
    return documentRead(path);
}

Expected<DocumentJob, Error> loadDocumentFor(const Arguments& arguments,
                                             const std::string& written) {
    const std::string& input = arguments.document();
    // The parse has made sure of -o or what stands in for it.
    std::string output = arguments.value("-o").value_or(std::string());
    auto document = loadDocument(input);
    if (!document) return unexpected(document.error());
    std::error_code ignored;
    if (!output.empty() && std::filesystem::equivalent(input, output, ignored))
        return unexpected(commandFailure(ErrorCode::kFileAccess,
                                         output + ": this is the document being read; " + written +
                                             " would replace it (choose another -o)"));
    return DocumentJob{input, std::move(output), std::move(*document)};
}

Expected<std::string, Error> trackFolderOf(const Arguments& arguments, std::string_view option) {
    std::string folder = arguments.value(option).value_or(std::string());
    std::error_code ignored;
    if (folder.empty() || std::filesystem::equivalent(arguments.document(), folder, ignored))
        return unexpected(
            usageError(std::string(option) + " takes a folder, not \"" + folder + "\""));
    return folder;
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

Expected<void, Error> saveMidiTracks(const std::string& folder, const MidiSong& song,
                                     bool sendInstruments) {
    const auto failed = [&folder](const std::string& reason) {
        return unexpected(fileError("Unable to save MIDI file.", folder, reason));
    };
    const bool anyNotes = std::any_of(song.tracks.begin(), song.tracks.end(),
                                      [](const MidiTrack& track) { return !track.events.empty(); });
    if (!anyNotes) return failed("No track has any notes");
    std::error_code error;
    const bool madeFolder = std::filesystem::create_directory(folder, error);
    if (error) return failed(systemErrorText(error.value()));
    std::vector<std::string> written;
    // A failure takes back what this call wrote: the files come as a set.
    const auto takeBack = [&] {
        std::error_code ignored;
        for (const std::string& path : written) std::filesystem::remove(path, ignored);
        if (madeFolder) std::filesystem::remove(folder, ignored);
    };
    for (std::size_t slot = 0; slot < song.tracks.size(); ++slot) {
        if (song.tracks[slot].events.empty()) continue;
        MidiSong one = song;
        for (std::size_t other = 0; other < one.tracks.size(); ++other)
            if (other != slot) one.tracks[other] = MidiTrack{};
        midiSongCountEvents(one);
        midiSongComputeLength(one);
        const std::string path =
            (std::filesystem::path(folder) / trackFileName(slot, song.tracks[slot].name, "mid"))
                .string();
        if (auto saved = saveMidiSong(path, one, sendInstruments); !saved) {
            takeBack();
            return saved;
        }
        written.push_back(path);
    }
    return {};
}

}  // namespace halvorn::cli

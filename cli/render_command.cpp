// halvorn-cli render SONG.hvn -o OUT.mid [--ppqn N] [--skip-muted] [--send-instruments]
//                           [--split DIR]
// Writes what "Save MIDI" writes; with --skip-muted, what "Play" plays; with
// --send-instruments, each track's program, volume and pan ahead of its notes;
// with --split, a file per track as well (or instead of -o).
#include <array>
#include <optional>
#include <string>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/common_options.h"
#include "cli/song_files.h"
#include "engine/document_texts.h"

namespace halvorn::cli {
namespace {

constexpr std::array<Option, 5> kOptions = {{
    {"-o", "OUT.mid",
     "the Standard MIDI File to write; an existing file is replaced whole and keeps its "
     "permissions, a symbolic link is followed",
     true, "--split"},
    kPpqnOption,
    kSkipMutedOption,
    kSendInstrumentsOption,
    {"--split", "DIR",
     "also (or instead of -o) one Standard MIDI File per track that has notes into the folder "
     "DIR, made when it is not there: the conductor track and that track, named after the "
     "track's number and block, as 00-Bass.mid"},
}};

CommandResult runRender(const Arguments& arguments) {
    const auto ppqn = ppqnOf(arguments);
    if (!ppqn) return unexpected(ppqn.error());
    std::optional<std::string> split;
    if (arguments.has("--split")) {
        const auto folder = trackFolderOf(arguments, "--split");
        if (!folder) return unexpected(folder.error());
        split = *folder;
    }
    auto job = loadDocumentFor(arguments, "the MIDI file");
    if (!job) return unexpected(job.error());

    MidiSong midi;
    if (auto rendered = renderDocumentSong(job->input, job->document, midi,
                                           arguments.has(kSkipMutedOption.name), *ppqn);
        !rendered)
        return rendered;
    midiSongSetDocumentTexts(midi, job->document);
    const bool sendInstruments = arguments.has(kSendInstrumentsOption.name);
    if (split) {
        if (auto saved = saveMidiTracks(*split, midi, sendInstruments); !saved) return saved;
    }
    if (job->output.empty()) return {};
    return saveMidiSong(job->output, midi, sendInstruments);
}

}  // namespace

Command renderCommand() {
    return {"render", "SONG.hvn",
            "Writes the piece as a Standard MIDI File (format 1), as the Macrosequences page's "
            "\"Save MIDI\" does: a conductor track with the title, author, comments, tempo, "
            "time and key signature, then one track per block's track, the muted ones included. "
            "With --split, each track that has notes gets a file of its own, with the conductor "
            "track.",
            kOptions, runRender};
}

}  // namespace halvorn::cli

// halvorn-cli render SONG.hvn -o OUT.mid [--ppqn N] [--skip-muted] [--send-instruments]
// Writes what "Save MIDI" writes; with --skip-muted, what "Play" plays; with
// --send-instruments, each track's program, volume and pan ahead of its notes.
#include <array>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/common_options.h"
#include "cli/song_files.h"
#include "engine/document_texts.h"

namespace halvorn::cli {
namespace {

constexpr std::array<Option, 4> kOptions = {{
    {"-o", "OUT.mid",
     "the Standard MIDI File to write; an existing file is replaced whole and keeps its "
     "permissions, a symbolic link is followed",
     true},
    kPpqnOption,
    kSkipMutedOption,
    kSendInstrumentsOption,
}};

CommandResult runRender(const Arguments& arguments) {
    const auto ppqn = ppqnOf(arguments);
    if (!ppqn) return unexpected(ppqn.error());
    auto job = loadDocumentFor(arguments, "the MIDI file");
    if (!job) return unexpected(job.error());

    MidiSong midi;
    if (auto rendered = renderDocumentSong(job->input, job->document, midi,
                                           arguments.has(kSkipMutedOption.name), *ppqn);
        !rendered)
        return rendered;
    midiSongSetDocumentTexts(midi, job->document);
    return saveMidiSong(job->output, midi, arguments.has(kSendInstrumentsOption.name));
}

}  // namespace

Command renderCommand() {
    return {"render", "SONG.hvn",
            "Writes the piece as a Standard MIDI File (format 1), as the Macrosequences page's "
            "\"Save MIDI\" does: a conductor track with the title, author, comments, tempo, "
            "time and key signature, then one track per block's track, the muted ones included.",
            kOptions, runRender};
}

}  // namespace halvorn::cli

// halvorn-cli export-musicxml SONG.hvn -o OUT.musicxml [--skip-muted]
// Writes the piece as a MusicXML 4.0 score, the same bytes as the window's
// "Export MusicXML...".
#include <array>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/common_options.h"
#include "cli/interrupt_scope.h"
#include "cli/song_files.h"
#include "engine/musicxml_writer.h"

namespace halvorn::cli {
namespace {

constexpr std::array<Option, 2> kOptions = {{
    {"-o", "OUT.musicxml",
     "the MusicXML file to write; an existing file is replaced whole and keeps its "
     "permissions, a symbolic link is followed",
     true},
    kSkipMutedOption,
}};

CommandResult runExportMusicXml(const Arguments& arguments) {
    const auto job = loadDocumentFor(arguments, "the score");
    if (!job) return unexpected(job.error());
    if (job->document.song.blockCount <= 0)
        return unexpected(commandFailure(
            ErrorCode::kNoSong,
            job->input + ": Unable to export MusicXML. The composition has no blocks."));
    InterruptScope interrupts;  // Ctrl+C cancels and leaves no file
    return musicXmlSave(job->output, job->document, arguments.has(kSkipMutedOption.name),
                        [] { return !InterruptScope::interrupted(); });
}

}  // namespace

Command exportMusicXmlCommand() {
    return {"export-musicxml", "SONG.hvn",
            "Writes the piece as a MusicXML 4.0 score for notation programs, as the File menu's "
            "\"Export MusicXML...\" does: one part per track that has notes, the muted ones "
            "included, with the title, author, comments, tempo, time and key signature; each "
            "note written as the value it was drawn as (dotted, triplet, stretched), tied where a "
            "barline or the beat must show, beamed by the beat, on the staves and clef of its "
            "instrument; channel 10 as percussion.",
            kOptions, runExportMusicXml};
}

}  // namespace halvorn::cli

// halvorn-cli render SONG.hvn -o OUT.mid [--ppqn N] [--skip-muted] [--send-instruments]
// Writes what "Save MIDI" writes; with --skip-muted, what "Play" plays; with
// --send-instruments, each track's program, volume and pan ahead of its notes.
#include <array>
#include <optional>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/song_files.h"

namespace halvorn::cli {
namespace {

constexpr std::array<OptionRule, 4> kOptions = {{
    {"-o", true},
    {"--ppqn", true},
    {"--skip-muted", false},
    {kSendInstrumentsOption, false},
}};

// The document's texts reach the file only when they are not empty.
void setTexts(MidiSong& midi, const Document& document) {
    midi.title.reset();
    midi.copyright.reset();
    midi.comments.reset();
    if (!document.title.empty()) midi.title = document.title;
    if (!document.author.empty()) midi.copyright = document.author;
    if (!document.comments.empty()) midi.comments = document.comments;
}

int runRender(std::span<const std::string> words) {
    std::string error;
    const std::optional<Arguments> arguments = Arguments::parse(words, kOptions, 1, error);
    if (!arguments) return usageError("render: " + error);
    const std::optional<std::string> output = requiredOption(*arguments, "-o", error);
    if (!output) return usageError("render: " + error);
    const std::optional<std::int32_t> ppqn = ppqnOption(*arguments, error);
    if (!ppqn) return usageError("render: " + error);

    const std::string& input = arguments->positionals()[0];
    std::optional<Document> document = loadDocument(input);
    if (!document) return kExitFailure;
    if (refuseOverwritingInput(input, *output)) return kExitFailure;

    MidiSong midi;
    if (!renderDocumentSong(input, *document, midi, arguments->has("--skip-muted"), *ppqn))
        return kExitFailure;
    setTexts(midi, *document);
    if (arguments->has(kSendInstrumentsOption) && !addChannelSetupEvents(midi)) return kExitFailure;
    return saveMidiSong(*output, midi) ? kExitSuccess : kExitFailure;
}

}  // namespace

Command renderCommand() {
    return {"render", "SONG.hvn -o OUT.mid [--ppqn N] [--skip-muted] [--send-instruments]",
            runRender};
}

}  // namespace halvorn::cli

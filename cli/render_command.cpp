// halvorn-cli render SONG.hvn -o OUT.mid [--ppqn N] [--skip-muted] [--send-instruments]
// Writes what "Save MIDI" writes; with --skip-muted, what "Play" plays; with
// --send-instruments, each track's program, volume and pan ahead of its notes.
#include <array>
#include <optional>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/song_files.h"
#include "engine/document_texts.h"

namespace halvorn::cli {
namespace {

constexpr std::array<OptionRule, 4> kOptions = {{
    {"-o", true},
    {"--ppqn", true},
    {"--skip-muted", false},
    {kSendInstrumentsOption, false},
}};

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
    midiSongSetDocumentTexts(midi, *document);
    if (arguments->has(kSendInstrumentsOption) && !addChannelSetupEvents(midi)) return kExitFailure;
    return saveMidiSong(*output, midi) ? kExitSuccess : kExitFailure;
}

}  // namespace

Command renderCommand() {
    return {"render", "SONG.hvn -o OUT.mid [--ppqn N] [--skip-muted] [--send-instruments]",
            runRender};
}

}  // namespace halvorn::cli

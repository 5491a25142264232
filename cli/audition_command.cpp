// halvorn-cli audition SONG.hvn --block K -o OUT.mid [--ppqn N] [--metronome LEVEL]
//                              [--send-instruments]
// Writes what "Listen" plays for block K: the block in track slot 0 and, with
// --metronome, the metronome in slot 9; with --send-instruments, each track's
// program, volume and pan ahead of its notes.
#include <array>
#include <optional>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/song_files.h"
#include "engine/audition.h"
#include "midi/general_midi.h"

namespace halvorn::cli {
namespace {

constexpr std::array<OptionRule, 5> kOptions = {{
    {"--block", true},
    {"-o", true},
    {"--ppqn", true},
    {"--metronome", true},
    {kSendInstrumentsOption, false},
}};

// The words for what went wrong, naming the microsequence a block reads.
std::string sequenceFailure(const Song& song, std::int32_t blockIndex, std::int32_t sequenceIndex,
                            const char* role) {
    const bool exists = sequenceIndex >= 0 && sequenceIndex < song.microsequenceCount;
    return "block " + std::to_string(blockIndex) + ": the " + role + " sequence (microsequence " +
           std::to_string(sequenceIndex) + ")" +
           (exists ? " yields no values." : " does not exist.");
}

std::string auditionFailure(AuditionError error, const Song& song, std::int32_t blockIndex) {
    const Block& block = song.blocks[static_cast<std::size_t>(blockIndex)];
    switch (error) {
        case AuditionError::kMelodySequence:
            return sequenceFailure(song, blockIndex, block.melodySequence, "melody");
        case AuditionError::kVelocitySequence:
            return sequenceFailure(song, blockIndex, block.velocitySequence, "velocity");
        case AuditionError::kNotes:
            return renderErrorMessage(RenderError::kNotesOutOfMemory);
        case AuditionError::kBlockTrack:
        case AuditionError::kMetronomeTrack:
            break;
    }
    return renderErrorMessage(RenderError::kEventsOutOfMemory);
}

int runAudition(std::span<const std::string> words) {
    std::string error;
    const std::optional<Arguments> arguments = Arguments::parse(words, kOptions, 1, error);
    if (!arguments) return usageError("audition: " + error);
    const std::optional<std::string> output = requiredOption(*arguments, "-o", error);
    if (!output) return usageError("audition: " + error);
    if (!requiredOption(*arguments, "--block", error)) return usageError("audition: " + error);
    const std::optional<std::int32_t> blockIndex =
        integerOption(*arguments, "--block", 0, kMaxBlocks - 1, 0, error);
    if (!blockIndex) return usageError("audition: " + error);
    std::optional<std::int32_t> metronomeLevel;
    if (arguments->has("--metronome")) {
        metronomeLevel = integerOption(*arguments, "--metronome", 0, kMaxDataValue, 0, error);
        if (!metronomeLevel) return usageError("audition: " + error);
    }
    const std::optional<std::int32_t> ppqn = ppqnOption(*arguments, error);
    if (!ppqn) return usageError("audition: " + error);

    const std::string& input = arguments->positionals()[0];
    std::optional<Document> document = loadDocument(input);
    if (!document) return kExitFailure;
    if (refuseOverwritingInput(input, *output)) return kExitFailure;
    Song& song = document->song;
    if (*blockIndex >= song.blockCount) {
        reportError(
            input + ": there is no block " + std::to_string(*blockIndex) +
            " (the composition has " + std::to_string(song.blockCount) +
            (song.blockCount == 1 ? " block, numbered from 0)" : " blocks, numbered from 0)"));
        return kExitFailure;
    }
    MidiSong midi;
    const auto rendered = renderAudition(midi, song, *blockIndex, metronomeLevel, *ppqn);
    if (!rendered) {
        reportError(auditionFailure(rendered.error(), song, *blockIndex));
        return kExitFailure;
    }
    if (arguments->has(kSendInstrumentsOption) && !addChannelSetupEvents(midi)) return kExitFailure;
    return saveMidiSong(*output, midi) ? kExitSuccess : kExitFailure;
}

}  // namespace

Command auditionCommand() {
    return {"audition",
            "SONG.hvn --block K -o OUT.mid [--ppqn N] [--metronome LEVEL] [--send-instruments]",
            runAudition};
}

}  // namespace halvorn::cli

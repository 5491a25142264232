// halvorn-cli audition SONG.hvn --block K -o OUT.mid [--ppqn N] [--metronome LEVEL]
//                              [--send-instruments]
// Writes what "Listen" plays for block K: the block in track slot 0 and, with
// --metronome, the metronome in slot 9; with --send-instruments, each track's
// program, volume and pan ahead of its notes.
#include <array>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/common_options.h"
#include "cli/song_files.h"
#include "engine/audition.h"
#include "engine/render_error.h"
#include "midi/general_midi.h"

namespace halvorn::cli {
namespace {

constexpr std::array<Option, 5> kOptions = {{
    {"--block", "K", "the block to write, 0 to 15, numbered as \"info\" lists them", true},
    {"-o", "OUT.mid", "the Standard MIDI File to write", true},
    kPpqnOption,
    {"--metronome", "LEVEL",
     "add a metronome track on MIDI channel 10: a click a beat at velocity LEVEL (0 to 127) "
     "on the first beat of each measure and half that on the others; none when absent"},
    kSendInstrumentsOption,
}};

// The words for what went wrong, naming the microsequence a block reads.
std::string sequenceFailure(const Song& song, std::int32_t blockIndex, std::int32_t sequenceIndex,
                            const char* role) {
    const bool exists = sequenceIndex >= 0 && sequenceIndex < song.microsequenceCount;
    return "block " + std::to_string(blockIndex) + ": the " + role + " sequence (microsequence " +
           std::to_string(sequenceIndex) + ")" +
           (exists ? " yields no values." : " does not exist.");
}

std::string auditionFailure(const Error& error, const Song& song, std::int32_t blockIndex) {
    const Block& block = song.blocks[static_cast<std::size_t>(blockIndex)];
    switch (error.code) {
        case ErrorCode::kMelodySequence:
            return sequenceFailure(song, blockIndex, block.melodySequence, "melody");
        case ErrorCode::kVelocitySequence:
            return sequenceFailure(song, blockIndex, block.velocitySequence, "velocity");
        default:
            return renderError(error.code == ErrorCode::kNotesOutOfMemory
                                   ? ErrorCode::kNotesOutOfMemory
                                   : ErrorCode::kEventsOutOfMemory)
                .message;
    }
}

CommandResult runAudition(const Arguments& arguments) {
    const auto blockIndex = arguments.integer("--block", 0, kMaxBlocks - 1, 0);
    if (!blockIndex) return unexpected(blockIndex.error());
    std::optional<std::int32_t> metronomeLevel;
    if (arguments.has("--metronome")) {
        const auto level = arguments.integer("--metronome", 0, kMaxDataValue, 0);
        if (!level) return unexpected(level.error());
        metronomeLevel = *level;
    }
    const auto ppqn = ppqnOf(arguments);
    if (!ppqn) return unexpected(ppqn.error());

    auto job = loadDocumentFor(arguments, "the MIDI file");
    if (!job) return unexpected(job.error());
    const std::string& input = job->input;
    Song& song = job->document.song;
    if (*blockIndex >= song.blockCount)
        return unexpected(commandFailure(
            ErrorCode::kNoSong,
            input + ": there is no block " + std::to_string(*blockIndex) +
                " (the composition has " + std::to_string(song.blockCount) +
                (song.blockCount == 1 ? " block, numbered from 0)" : " blocks, numbered from 0)")));
    MidiSong midi;
    const auto rendered = renderAudition(midi, song, *blockIndex, metronomeLevel, *ppqn);
    if (!rendered)
        return unexpected(
            commandFailure(rendered.error().code,
                           input + ": " + auditionFailure(rendered.error(), song, *blockIndex)));
    return saveMidiSong(job->output, midi, arguments.has(kSendInstrumentsOption.name));
}

}  // namespace

Command auditionCommand() {
    return {"audition", "SONG.hvn",
            "Writes what the Blocks page's \"Listen\" plays for one block as a Standard MIDI "
            "File: the block alone on its own channel (in a track with an empty name), whether "
            "its track is muted or not, and the metronome when asked for.",
            kOptions, runAudition};
}

}  // namespace halvorn::cli

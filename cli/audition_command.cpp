// halvorn-cli audition SONG.hvn --block K -o OUT.mid [--ppqn N] [--metronome LEVEL]
// Writes what "Listen" plays for block K: the block in track slot 0 and, with
// --metronome, the metronome in slot 9.
#include <array>
#include <optional>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/song_files.h"
#include "engine/block_render.h"
#include "fractal/generators.h"
#include "midi/midi_settings.h"

namespace halvorn::cli {
namespace {

constexpr std::array<OptionSpec, 4> kOptions = {{
    {"--block", true},
    {"-o", true},
    {"--ppqn", true},
    {"--metronome", true},
}};

constexpr std::int32_t kMelodyTrack = 0;
constexpr std::int32_t kMetronomeTrack = 9;

// Computes the values of the microsequence a block reads; reports and fails
// when the sequence does not exist or yields nothing.
bool computeSequence(Song& song, std::int32_t blockIndex, std::int32_t sequenceIndex,
                     const char* role) {
    const std::string prefix = "block " + std::to_string(blockIndex) + ": the " + role +
                               " sequence (microsequence " + std::to_string(sequenceIndex) + ")";
    if (sequenceIndex < 0 || sequenceIndex >= song.microsequenceCount) {
        reportError(prefix + " does not exist.");
        return false;
    }
    if (!microsequenceCompute(song.microsequences[static_cast<std::size_t>(sequenceIndex)])) {
        reportError(prefix + " yields no values.");
        return false;
    }
    return true;
}

// The block's notes after the four steps, in the order "Listen" runs them.
std::optional<NoteList> renderBlock(const Song& song, std::int32_t blockIndex) {
    NoteList notes = renderBlockNotes(song, blockIndex);
    if (notes.empty()) {
        reportError("Unable to generate MIDI data. Not enough memory.");
        return std::nullopt;
    }
    renderBlockMelody(notes, song, blockIndex);
    renderBlockVelocity(notes, song, blockIndex);
    renderBlockAccents(notes, song, blockIndex);
    return notes;
}

// Fills `midi` as "Listen" does; false after a reported failure.
bool renderAudition(MidiSong& midi, Song& song, std::int32_t blockIndex,
                    std::optional<std::int32_t> metronomeLevel) {
    midiSongFree(&midi);
    midiSongReset(&midi);
    midi.tempo = static_cast<double>(song.tempo);
    midi.ppqn = static_cast<std::uint16_t>(midiSettings().ppqnSetting);
    // A written file also carries the metre and key, as a rendered song does.
    midi.timeSignatureNumerator = static_cast<std::uint8_t>(song.beatsPerMeasure);
    midi.keySharps = static_cast<std::int8_t>(song.scale.key);
    const Block& block = song.blocks[static_cast<std::size_t>(blockIndex)];
    if (!computeSequence(song, blockIndex, block.melodySequence, "melody") ||
        !computeSequence(song, blockIndex, block.velocitySequence, "velocity"))
        return false;
    const std::optional<NoteList> notes = renderBlock(song, blockIndex);
    if (!notes) return false;
    if (!renderBlockTrack(midi.tracks[kMelodyTrack], *notes, block)) return false;
    if (metronomeLevel &&
        !renderMetronomeTrack(midi.tracks[kMetronomeTrack], song, blockIndex, *metronomeLevel))
        return false;
    midiSongCountEvents(midi);
    midiSongComputeLength(midi);
    midiSongSortTracks(midi);
    return true;
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
        metronomeLevel = integerOption(*arguments, "--metronome", 0, 127, 0, error);
        if (!metronomeLevel) return usageError("audition: " + error);
    }
    if (!applyPpqnOption(*arguments, error)) return usageError("audition: " + error);

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
    if (!renderAudition(midi, song, *blockIndex, metronomeLevel)) return kExitFailure;
    return saveMidiSong(*output, midi) ? kExitSuccess : kExitFailure;
}

}  // namespace

Command auditionCommand() {
    return {"audition", "SONG.hvn --block K -o OUT.mid [--ppqn N] [--metronome LEVEL]",
            runAudition};
}

}  // namespace halvorn::cli

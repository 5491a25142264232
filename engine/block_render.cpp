#include "engine/block_render.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "engine/note_events.h"
#include "midi/general_midi.h"
#include "model/random.h"

namespace halvorn {
namespace {

// The metronome: a closed hi-hat click a quarter of a beat long on every
// beat, on General MIDI's percussion channel.
constexpr std::uint8_t kMetronomeProgram = 127;
constexpr double kMetronomeClickBeats = 0.25;

const Block* blockInUse(const Song& song, std::int32_t blockIndex) {
    if (blockIndex < 0 || blockIndex >= std::min(song.blockCount, kMaxBlocks)) return nullptr;
    return &song.blocks[static_cast<std::size_t>(blockIndex)];
}

// The values a block reads cyclically from microsequence `index`, or an
// empty span when the sequence is not in use or has none. A value array
// shorter than `period` is read with its own length, never beyond its end.
std::span<const std::int32_t> sequenceValues(const Song& song, std::int32_t index) {
    if (index < 0 || index >= std::min(song.microsequenceCount, kMaxMicrosequences)) return {};
    const Microsequence& sequence = song.microsequences[static_cast<std::size_t>(index)];
    if (!sequence.values || sequence.period <= 0) return {};
    const std::size_t period = static_cast<std::size_t>(sequence.period);
    return std::span<const std::int32_t>(*sequence.values)
        .first(std::min(period, sequence.values->size()));
}

// Remainder of value by modulus, taken in 0..modulus-1.
std::int64_t positiveRemainder(std::int64_t value, std::int64_t modulus) {
    const std::int64_t remainder = value % modulus;
    return remainder < 0 ? remainder + modulus : remainder;
}

// Whether beat `beat` (0-based within the measure) carries an accent flag;
// beats beyond the nine flags never do.
bool isAccented(const Block& block, std::int64_t beat) {
    return beat >= 0 && beat < static_cast<std::int64_t>(block.accents.size()) &&
           block.accents[static_cast<std::size_t>(beat)] != 0;
}

// Draws the note value of the next note from the distribution, restricted to
// the Song's note range; nothing when the draw falls through all of it.
std::optional<std::int32_t> drawNoteExponent(const Song& song, const Block& block,
                                             RandomDraws& draws) {
    double u = draws.next();
    const std::int32_t lowest = std::max(song.minNoteExponent, kMinNoteExponent);
    const std::int32_t highest = std::min(song.maxNoteExponent, kMaxNoteExponent);
    for (std::int32_t e = lowest; e <= highest; ++e) {
        const double p = block.rhythmDistribution[static_cast<std::size_t>(e - kMinNoteExponent)];
        if (u < p) return e;
        u = u - p;
    }
    return std::nullopt;
}

// The working state of the rhythm step between two notes.
struct RhythmState {
    double position = 0.0;
    std::optional<std::int32_t> previousExponent;
    bool tripletOpen = false;
    double tripletLength = 0.0;  // of the open triplet group
    NoteValue tripletValue;      // of the open triplet group
};

struct DrawnLength {
    double length = 0.0;
    NoteValue value;
};

DrawnLength nextNoteLength(const Song& song, const Block& block, RhythmState& state,
                           RandomDraws& draws) {
    // Before any note exists a fall-through has nothing to reuse: the
    // shortest value of the Song's range (held inside the table) stands in.
    const std::int32_t fallback =
        std::clamp(song.minNoteExponent, kMinNoteExponent, kMaxNoteExponent);
    const std::int32_t exponent =
        drawNoteExponent(song, block, draws).value_or(state.previousExponent.value_or(fallback));
    // Remembered even inside a triplet group, where only its length is dropped.
    state.previousExponent = exponent;
    double length = std::ldexp(1.0, exponent + 2);
    NoteValue value{.exponent = exponent};

    if (block.dottedProbability > 0.0 && draws.next() < block.dottedProbability) {
        length = length * 1.5;
        value.dotted = true;
    }
    if (state.tripletOpen) {
        length = state.tripletLength;
        value = state.tripletValue;
        if (isWholeBeat(state.position + length)) state.tripletOpen = false;
    } else if (block.tripletProbability > 0.0 && draws.next() < block.tripletProbability) {
        length = length / 3;
        value.triplet = true;
        state.tripletOpen = true;
        state.tripletLength = length;
        state.tripletValue = value;
    }
    return {length, value};
}

}  // namespace

NoteList renderBlockNotes(const Song& song, std::int32_t blockIndex) {
    return renderBlockRhythm(song, blockIndex).notes;
}

BlockRhythm renderBlockRhythm(const Song& song, std::int32_t blockIndex) {
    const Block* block = blockInUse(song, blockIndex);
    if (!block) return {};
    RandomSource draws(block->seed);
    return renderBlockRhythm(song, blockIndex, draws);
}

BlockRhythm renderBlockRhythm(const Song& song, std::int32_t blockIndex, RandomDraws& draws) {
    const Block* block = blockInUse(song, blockIndex);
    if (!block) return {};
    const double blockBeats = static_cast<double>(static_cast<std::int64_t>(block->lengthMeasures) *
                                                  song.beatsPerMeasure);
    // A few thousand notes at most: 8 measures of 9 beats in 1/64 triplets.
    BlockRhythm rhythm;
    RhythmState state;
    while (state.position < blockBeats) {
        auto [length, value] = nextNoteLength(song, *block, state, draws);
        if (state.position + length > blockBeats) length = blockBeats - state.position;
        rhythm.notes.push_back({.start = state.position, .duration = length});
        rhythm.values.push_back(value);
        state.position = state.position + length;
    }
    for (Note& note : rhythm.notes) note.duration = note.duration * block->legato;
    return rhythm;
}

std::size_t renderBlockMelody(std::span<Note> notes, const Song& song, std::int32_t blockIndex) {
    const Block* block = blockInUse(song, blockIndex);
    if (!block) return 0;
    const std::span<const std::int32_t> values = sequenceValues(song, block->melodySequence);
    if (values.empty()) return 0;
    // A range below 1 only comes from a corrupt file; it would divide by zero.
    const std::int64_t range = std::max(block->melodyRange, 1);
    for (std::size_t k = 0; k < notes.size(); ++k) {
        const std::int64_t degree =
            positiveRemainder(values[k % values.size()], range) + block->melodyOffset;
        const auto clampedDegree = static_cast<std::int32_t>(
            std::clamp<std::int64_t>(degree, std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max()));
        // Unsigned arithmetic wraps like the low seven bits the pitch keeps.
        const std::uint32_t pitch =
            static_cast<std::uint32_t>(scaleDegreeToPitch(song.scale, clampedDegree)) +
            static_cast<std::uint32_t>(kMiddleC);
        notes[k].pitch = static_cast<std::int32_t>(pitch & 127u);
    }
    return notes.size();
}

std::size_t renderBlockVelocity(std::span<Note> notes, const Song& song, std::int32_t blockIndex) {
    const Block* block = blockInUse(song, blockIndex);
    if (!block) return 0;
    const std::span<const std::int32_t> values = sequenceValues(song, block->velocitySequence);
    if (values.empty()) return 0;
    const double range = block->velocityRange;
    for (std::size_t k = 0; k < notes.size(); ++k) {
        const double v = static_cast<double>(positiveRemainder(values[k % values.size()], 127));
        double y = ((100.0 - range) + v * range / 100.0) / 127.0;
        if (y < block->velocityThreshold) y = 0.0;
        y = y * block->velocityAmp;
        if (y > 1.0) y = 1.0;
        notes[k].velocity = y;
    }
    return notes.size();
}

std::size_t renderBlockAccents(std::span<Note> notes, const Song& song, std::int32_t blockIndex) {
    const Block* block = blockInUse(song, blockIndex);
    if (!block) return 0;
    const double level = block->accentLevel;
    for (Note& note : notes) {
        if (isWholeBeat(note.start)) {
            if (isOnAccentedBeat(song, *block, note.start))
                note.velocity = (1.0 + level) * note.velocity;
        } else {
            note.velocity = (1.0 - level) * note.velocity;
        }
        if (note.velocity > 1.0) note.velocity = 1.0;
    }
    return notes.size();
}

bool isOnAccentedBeat(const Song& song, const Block& block, double start) {
    if (!isWholeBeat(start)) return false;
    const std::int64_t beatsPerMeasure = song.beatsPerMeasure;
    const std::int64_t beat =
        beatsPerMeasure > 0 ? static_cast<std::int64_t>(start) % beatsPerMeasure : -1;
    return isAccented(block, beat);
}

Expected<NoteList, Error> renderBlock(const Song& song, std::int32_t blockIndex) {
    NoteList notes = renderBlockNotes(song, blockIndex);
    if (notes.empty()) return unexpected(renderError(ErrorCode::kNotesOutOfMemory));
    // Melody and velocity leave the notes' defaults when their sequences
    // have no values; the block is rendered all the same.
    static_cast<void>(renderBlockMelody(notes, song, blockIndex));
    static_cast<void>(renderBlockVelocity(notes, song, blockIndex));
    static_cast<void>(renderBlockAccents(notes, song, blockIndex));
    return notes;
}

Expected<void, Error> renderBlockTrack(MidiTrack& track, std::span<const Note> notes,
                                       const Block& block, std::int32_t ppqn) {
    track.name.reset();
    track.channel = static_cast<std::uint8_t>(block.channel & 0x0F);
    track.volume = kDefaultTrackVolume;
    track.pan = kCentrePan;
    track.program = static_cast<std::uint8_t>(block.program & 0x7F);
    return fillTrackEvents(track, 2 * notes.size(), [&](std::vector<MidiEvent>& events) {
        for (const Note& note : notes) appendNoteEvents(events, note, track.channel, ppqn);
    });
}

Expected<void, Error> renderMetronomeTrack(MidiTrack& track, const Song& song,
                                           std::int32_t blockIndex, std::int32_t level,
                                           std::int32_t ppqn) {
    track.name.reset();
    track.channel = kPercussionChannel;
    track.volume = kDefaultTrackVolume;
    track.pan = kCentrePan;
    track.program = kMetronomeProgram;
    track.events.clear();
    const Block* block = blockInUse(song, blockIndex);
    if (!block || song.beatsPerMeasure <= 0) return {};
    const std::int64_t beatsPerMeasure = song.beatsPerMeasure;
    const std::int64_t beats = std::max<std::int64_t>(block->lengthMeasures, 0) * beatsPerMeasure;
    // Accented beats click at the level, the others at half of it.
    const auto accentLevel =
        static_cast<std::uint8_t>(std::clamp<std::int32_t>(level, 0, kMaxDataValue));
    const auto plainLevel = static_cast<std::uint8_t>(accentLevel / 2);
    const auto status = static_cast<std::uint8_t>(kNoteOnStatus | kPercussionChannel);
    return fillTrackEvents(
        track, static_cast<std::size_t>(2 * beats), [&](std::vector<MidiEvent>& events) {
            for (std::int64_t k = 0; k < beats; ++k) {
                const double beat = static_cast<double>(k);
                const std::uint8_t velocity =
                    isAccented(*block, k % beatsPerMeasure) ? accentLevel : plainLevel;
                events.push_back(
                    {beatsToEventTime(beat, ppqn), status, kClosedHiHatNote, velocity});
                events.push_back({beatsToEventTime(beat + kMetronomeClickBeats, ppqn), status,
                                  kClosedHiHatNote, 0});
            }
        });
}

}  // namespace halvorn

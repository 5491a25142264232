#include "engine/arrangement.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "engine/key_signature.h"
#include "engine/note_events.h"
#include "fractal/generators.h"
#include "model/random.h"

namespace halvorn {
namespace {

bool isTrackInUse(const Song& song, std::int32_t trackIndex) {
    return trackIndex >= 0 && trackIndex < std::min(song.blockCount, kMaxBlocks);
}

// 1, 2, 4 or 8 from the stretch distribution. A draw that falls through
// every entry (sums such as 0.99 after rounding to whole percents) keeps the
// block at its own length.
double drawStretchFactor(const Macrosequence& macrosequence, RandomDraws& draws) {
    double u = draws.next();
    double factor = 1.0;
    for (const double p : macrosequence.stretchProbabilities) {
        if (u < p) return factor;
        u = u - p;
        factor = factor * 2.0;
    }
    return 1.0;
}

// trunc(x) as a beat count, for lengths that a corrupt document could push
// beyond any representable range.
std::int64_t truncateBeats(double beats) {
    constexpr double kLimit = 4611686018427387904.0;  // 2^62: room for pos + len
    if (!(beats > -kLimit)) return 0;
    if (beats >= kLimit) return static_cast<std::int64_t>(kLimit);
    return static_cast<std::int64_t>(std::trunc(beats));
}

bool fitsInt32(std::int64_t value) {
    return value >= std::numeric_limits<std::int32_t>::min() &&
           value <= std::numeric_limits<std::int32_t>::max();
}

std::vector<Placement> placeOnGrid(const Macrosequence& macrosequence, std::int64_t totalBeats,
                                   std::int64_t blockMeasures, std::int64_t beatsPerMeasure,
                                   RandomDraws& draws) {
    // A grid below one measure only comes from a corrupt file; it would
    // never advance.
    const std::int64_t grid =
        std::max<std::int64_t>(alignMeasures(macrosequence.alignment), 1) * beatsPerMeasure;
    const std::int64_t shift = displacementMeasures(macrosequence.alignment) * beatsPerMeasure;
    std::vector<Placement> placements;
    std::int64_t position = 0;
    while (position < totalBeats) {
        if (!(draws.next() < macrosequence.probability)) {
            position += grid;
            continue;
        }
        const std::int64_t startBeat = position + shift;
        if (!fitsInt32(startBeat)) break;
        const double factor = drawStretchFactor(macrosequence, draws);
        const std::int64_t length = truncateBeats(static_cast<double>(blockMeasures) * factor *
                                                  static_cast<double>(beatsPerMeasure));
        // Every placement advances by at least one beat, also for a block
        // length of 0 or below, so the loop always ends.
        const std::int64_t end = length > 0 ? position + length : position + 1;
        position = (end + grid - 1) / grid * grid;
        placements.push_back({static_cast<std::int32_t>(startBeat), factor});
    }
    return placements;
}

NoteList repeatAtPlacements(const NoteList& blockNotes, std::span<const Placement> placements) {
    NoteList notes;
    notes.reserve(blockNotes.size() * placements.size());
    for (const Placement& placement : placements) {
        const double factor = placement.stretchFactor;
        for (const Note& note : blockNotes) {
            notes.push_back({.pitch = note.pitch,
                             .velocity = note.velocity,
                             .start = placement.startBeat + note.start * factor,
                             .duration = note.duration * factor});
        }
    }
    return notes;
}

}  // namespace

std::int32_t macrosequencePlace(Macrosequence& macrosequence, std::int32_t totalMeasures,
                                std::int32_t blockMeasures, std::int32_t beatsPerMeasure) {
    RandomSource draws(macrosequence.seed);
    return macrosequencePlace(macrosequence, totalMeasures, blockMeasures, beatsPerMeasure, draws);
}

std::int32_t macrosequencePlace(Macrosequence& macrosequence, std::int32_t totalMeasures,
                                std::int32_t blockMeasures, std::int32_t beatsPerMeasure,
                                RandomDraws& draws) {
    macrosequence.placements = {};
    macrosequence.placementCount = 0;
    if (beatsPerMeasure < 1) return 0;
    // At most one placement a measure of a piece of at most 999 measures.
    std::vector<Placement> placements =
        placeOnGrid(macrosequence, std::int64_t{totalMeasures} * beatsPerMeasure, blockMeasures,
                    beatsPerMeasure, draws);
    macrosequence.placementCount = static_cast<std::int32_t>(placements.size());
    macrosequence.placements = std::move(placements);
    return macrosequence.placementCount;
}

Expected<NoteList, Error> renderTrackNotes(const Song& song, std::int32_t trackIndex) {
    if (!isTrackInUse(song, trackIndex)) return NoteList{};
    const Macrosequence& macrosequence = song.macrosequences[static_cast<std::size_t>(trackIndex)];
    const std::size_t placementCount =
        std::min(static_cast<std::size_t>(std::max(macrosequence.placementCount, 0)),
                 macrosequence.placements.size());
    if (placementCount == 0) return NoteList{};
    // A long piece of short notes repeats a block thousands of times.
    try {
        const auto blockNotes = renderBlock(song, trackIndex);
        if (!blockNotes) return unexpected(blockNotes.error());
        return repeatAtPlacements(*blockNotes,
                                  std::span(macrosequence.placements).first(placementCount));
    } catch (const std::bad_alloc&) {
        return unexpected(renderError(ErrorCode::kNotesOutOfMemory));
    }
}

Expected<std::int64_t, Error> renderTrack(MidiTrack& slot, const Song& song,
                                          std::int32_t trackIndex, std::int32_t ppqn) {
    const auto notes = renderTrackNotes(song, trackIndex);
    if (!notes) return unexpected(notes.error());
    if (notes->empty()) return std::int64_t{0};
    const Block& block = song.blocks[static_cast<std::size_t>(trackIndex)];
    const Macrosequence& macrosequence = song.macrosequences[static_cast<std::size_t>(trackIndex)];
    slot.name = block.description;
    slot.channel = static_cast<std::uint8_t>(block.channel & 0x0F);
    slot.volume = unitToMidiValue(macrosequence.volume);
    slot.pan = unitToMidiValue(macrosequence.panning);
    slot.program = static_cast<std::uint8_t>(block.program & 0x7F);
    const double limit =
        static_cast<double>(std::int64_t{song.lengthMeasures} * song.beatsPerMeasure);
    const auto filled =
        fillTrackEvents(slot, 2 * notes->size(), [&](std::vector<MidiEvent>& events) {
            for (const Note& note : *notes) {
                // Notes come in ascending start order: the first late one ends the track.
                if (!(note.start < limit)) break;
                // Only a negative displacement (a corrupt file) starts notes
                // before the piece; they have no tick to sound at.
                if (note.start < 0.0) continue;
                appendNoteEvents(events, note, slot.channel, ppqn);
            }
        });
    if (!filled) return unexpected(filled.error());
    return static_cast<std::int64_t>(slot.events.size());
}

void songPrepare(Song& song, RenderProgress& progress) {
    const std::int32_t sequenceCount = std::clamp(song.microsequenceCount, 0, kMaxMicrosequences);
    const std::int32_t trackCount = std::clamp(song.blockCount, 0, kMaxBlocks);
    for (std::int32_t i = 0; i < sequenceCount; ++i) {
        microsequenceCompute(song.microsequences[static_cast<std::size_t>(i)]);
        progress.stepOnce();
    }
    for (std::int32_t i = 0; i < trackCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        macrosequencePlace(song.macrosequences[index], song.lengthMeasures,
                           song.blocks[index].lengthMeasures, song.beatsPerMeasure);
        progress.stepOnce();
    }
}

Expected<void, Error> renderSong(MidiSong& midi, Song& song, RenderProgress& progress,
                                 bool skipMuted, std::int32_t ppqn) {
    const std::int32_t sequenceCount = std::clamp(song.microsequenceCount, 0, kMaxMicrosequences);
    const std::int32_t trackCount = std::clamp(song.blockCount, 0, kMaxBlocks);
    progress.setRange(0, sequenceCount + 2 * trackCount);
    progress.setStep(1);
    progress.setPosition(0);
    songPrepare(song, progress);

    midiSongFree(&midi);
    midiSongReset(&midi);
    midi.tempo = static_cast<double>(song.tempo);
    midi.timeSignatureNumerator = static_cast<std::uint8_t>(song.beatsPerMeasure);
    midi.ppqn = static_cast<std::uint16_t>(ppqn);
    midiSongSetKeySignature(midi, song.scale);

    for (std::int32_t i = 0; i < trackCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        const bool skipped = skipMuted && song.macrosequences[index].muted != 0;
        if (!skipped) {
            const auto rendered = renderTrack(midi.tracks[index], song, i, ppqn);
            if (!rendered) return unexpected(rendered.error());
        }
        progress.stepOnce();
    }

    midiSongCountEvents(midi);
    midiSongComputeLength(midi);
    // Every track was sorted as it was rendered; a failure here loses nothing.
    static_cast<void>(midiSongSortTracks(midi));
    return {};
}

}  // namespace halvorn

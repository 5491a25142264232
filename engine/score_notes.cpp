#include "engine/score_notes.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "engine/block_render.h"
#include "engine/note_events.h"

namespace halvorn {
namespace {

bool isStretchFactor(double factor) {
    return factor == 1.0 || factor == 2.0 || factor == 4.0 || factor == 8.0;
}

}  // namespace

Expected<TrackScoreNotes, Error> TrackScoreNotes::make(const Song& song, std::int32_t trackIndex) {
    TrackScoreNotes track;
    if (trackIndex < 0 || trackIndex >= std::min(song.blockCount, kMaxBlocks)) return track;
    const auto index = static_cast<std::size_t>(trackIndex);
    const Macrosequence& macrosequence = song.macrosequences[index];
    const std::size_t placementCount =
        std::min(static_cast<std::size_t>(std::max(macrosequence.placementCount, 0)),
                 macrosequence.placements.size());
    if (placementCount == 0) return track;
    try {
        BlockRhythm rhythm = renderBlockRhythm(song, trackIndex);
        if (rhythm.notes.empty()) return unexpected(renderError(ErrorCode::kNotesOutOfMemory));
        // The same steps renderBlock runs, on the same notes.
        static_cast<void>(renderBlockMelody(rhythm.notes, song, trackIndex));
        static_cast<void>(renderBlockVelocity(rhythm.notes, song, trackIndex));
        static_cast<void>(renderBlockAccents(rhythm.notes, song, trackIndex));

        const Block& block = song.blocks[index];
        const std::int64_t blockEnd =
            std::int64_t{block.lengthMeasures} * song.beatsPerMeasure * kUnitsPerBeat;
        std::int64_t position = 0;
        for (std::size_t k = 0; k < rhythm.notes.size(); ++k) {
            const Note& note = rhythm.notes[k];
            // The block's end cuts its last note; a note the floating-point
            // sum let start at the very end has no length and is dropped.
            const std::int64_t length =
                std::min(noteValueUnits(rhythm.values[k]), blockEnd - position);
            if (length <= 0) break;
            track.blockNotes_.push_back(
                {.start = position,
                 .end = position + length,
                 .pitch = note.pitch,
                 .velocity = unitToMidiValue(note.velocity),
                 .accented = block.accentLevel > 0.0 && isOnAccentedBeat(song, block, note.start)});
            position += length;
        }
        for (const Placement& placement : std::span(macrosequence.placements).first(placementCount))
            if (isStretchFactor(placement.stretchFactor)) track.placements_.push_back(placement);
    } catch (const std::bad_alloc&) {
        return unexpected(renderError(ErrorCode::kNotesOutOfMemory));
    }
    track.pieceEnd_ = std::int64_t{song.lengthMeasures} * song.beatsPerMeasure * kUnitsPerBeat;
    return track;
}

}  // namespace halvorn

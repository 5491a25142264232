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

void TrackScoreNotes::computeDynamics() {
    // Every placement plays the block's notes; only the piece's end may cut
    // one short and so move its mean.
    std::vector<double> means;
    means.reserve(placements_.size());
    for (const Placement& placement : placements_) {
        double sum = 0.0;
        std::int64_t count = 0;
        forEachPlaced(placement, [&](const ScoreNote& note, std::int64_t, std::int64_t) {
            if (note.velocity == 0) return;
            sum += note.velocity;
            ++count;
        });
        means.push_back(count > 0 ? sum / static_cast<double>(count) : -1.0);
    }
    dynamics_ = placementDynamics(means);
}

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
        // The same steps renderBlock runs, on the same notes; the velocities
        // before the accent step tell which notes it raised.
        static_cast<void>(renderBlockMelody(rhythm.notes, song, trackIndex));
        static_cast<void>(renderBlockVelocity(rhythm.notes, song, trackIndex));
        const NoteList unaccented = rhythm.notes;
        static_cast<void>(renderBlockAccents(rhythm.notes, song, trackIndex));

        const Block& block = song.blocks[index];
        const std::int64_t blockEnd =
            std::int64_t{block.lengthMeasures} * song.beatsPerMeasure * kUnitsPerBeat;
        std::int64_t position = 0;
        for (std::size_t k = 0; k < rhythm.notes.size(); ++k) {
            const Note& note = rhythm.notes[k];
            // The block's end cuts its last note; a note the floating-point
            // sum let start at the very end has no length and is dropped.
            const std::int64_t value = noteValueUnits(rhythm.values[k]);
            const std::int64_t length = std::min(value, blockEnd - position);
            if (length <= 0) break;
            const std::uint8_t velocity = unitToMidiValue(note.velocity);
            track.blockNotes_.push_back(
                {.note = {.start = position,
                          .end = position + length,
                          .pitch = note.pitch,
                          .velocity = velocity,
                          .accented = velocity > unitToMidiValue(unaccented[k].velocity)},
                 .cut = length < value});
            position += length;
        }
        for (const Placement& placement : std::span(macrosequence.placements).first(placementCount))
            if (isStretchFactor(placement.stretchFactor)) track.placements_.push_back(placement);
        track.pieceEnd_ = std::int64_t{song.lengthMeasures} * song.beatsPerMeasure * kUnitsPerBeat;
        track.computeDynamics();
    } catch (const std::bad_alloc&) {
        return unexpected(renderError(ErrorCode::kNotesOutOfMemory));
    }
    return track;
}

}  // namespace halvorn

#pragma once
// A track's notes as notation reads them: exact start and end in units of
// 1/96 beat from the start of the piece, summed from the values the rhythm
// step drew, never read back from floating-point beats.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/note_value.h"
#include "engine/render_error.h"
#include "model/expected.h"
#include "model/song.h"

namespace halvorn {

struct ScoreNote {
    std::int64_t start = 0;  // units from the start of the piece (or block)
    std::int64_t end = 0;    // the note value's end, not the sounding one
    std::int32_t pitch = 0;
    std::uint8_t velocity = 0;  // as the MIDI file carries it; 0 is silent
    bool accented = false;
};

class TrackScoreNotes {
  public:
    // The notes of track `trackIndex` of a Song whose microsequences and
    // placements are computed. kNotesOutOfMemory as renderTrackNotes.
    static Expected<TrackScoreNotes, Error> make(const Song& song, std::int32_t trackIndex);

    // Calls visit(const ScoreNote&) for every note that starts inside the
    // piece (as the MIDI file keeps them), in order, ends held to the
    // piece's end. Streams: nothing of the whole track is held.
    template <typename Visit>
    void forEach(Visit visit) const;

    bool empty() const { return placements_.empty() || blockNotes_.empty(); }

  private:
    std::vector<ScoreNote> blockNotes_;  // starts and ends from the block's start
    std::vector<Placement> placements_;
    std::int64_t pieceEnd_ = 0;
};

template <typename Visit>
void TrackScoreNotes::forEach(Visit visit) const {
    for (const Placement& placement : placements_) {
        // Stretch factors are 1, 2, 4 or 8: exact in units.
        const auto factor = static_cast<std::int64_t>(placement.stretchFactor);
        const std::int64_t base = std::int64_t{placement.startBeat} * kUnitsPerBeat;
        for (const ScoreNote& note : blockNotes_) {
            ScoreNote placed = note;
            placed.start = base + note.start * factor;
            placed.end = std::min(base + note.end * factor, pieceEnd_);
            // Placements come in ascending order: the first late note ends it.
            if (placed.start >= pieceEnd_) return;
            if (placed.start < 0 || placed.end <= placed.start) continue;
            visit(placed);
        }
    }
}

}  // namespace halvorn

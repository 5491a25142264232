#pragma once
// A track's notes as notation reads them: exact start and end in units of
// 1/96 beat from the start of the piece, summed from the values the rhythm
// step drew, never read back from floating-point beats.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/dynamics.h"
#include "engine/note_value.h"
#include "engine/render_error.h"
#include "model/expected.h"
#include "model/song.h"

namespace halvorn {

// A note the block's end cuts to less than a 64th is a sliver no reader
// could count: notation leaves it to the rest beside it.
inline constexpr std::int64_t kShortestCutNote = kUnitsPerBeat / 16;

struct ScoreNote {
    std::int64_t start = 0;  // units from the start of the piece (or block)
    std::int64_t end = 0;    // the note value's end, not the sounding one
    std::int32_t pitch = 0;
    std::uint8_t velocity = 0;         // as the MIDI file carries it; 0 is silent
    bool accented = false;             // the accent step raised its velocity
    Dynamic dynamic = Dynamic::kNone;  // the mark its placement starts with
};

class TrackScoreNotes {
  public:
    // The notes of track `trackIndex` of a Song whose microsequences and
    // placements are computed. kNotesOutOfMemory as renderTrackNotes.
    static Expected<TrackScoreNotes, Error> make(const Song& song, std::int32_t trackIndex);

    // Calls visit(const ScoreNote&) for every note that starts inside the
    // piece (as the MIDI file keeps them), in order, ends held to the
    // piece's end; cut slivers are left out. The first sounding note of a
    // placement carries the placement's dynamic mark. Streams: nothing of
    // the whole track is held.
    template <typename Visit>
    void forEach(Visit visit) const;

    bool empty() const { return placements_.empty() || blockNotes_.empty(); }

  private:
    struct BlockNote {
        ScoreNote note;    // start and end from the block's start
        bool cut = false;  // shorter than its value: the block ended it
    };

    // Whether the placed note is visited at all.
    bool written(const BlockNote& blockNote, std::int64_t start, std::int64_t end) const {
        return start >= 0 && end > start && !(blockNote.cut && end - start < kShortestCutNote);
    }
    // Visits each written note of a placement, with its piece-held start and
    // end; false once a note starts at or after the piece's end.
    template <typename Visit>
    bool forEachPlaced(const Placement& placement, Visit visit) const;
    void computeDynamics();

    std::vector<BlockNote> blockNotes_;
    std::vector<Placement> placements_;
    std::vector<Dynamic> dynamics_;  // one per placement
    std::int64_t pieceEnd_ = 0;
};

template <typename Visit>
bool TrackScoreNotes::forEachPlaced(const Placement& placement, Visit visit) const {
    // Stretch factors are 1, 2, 4 or 8: exact in units.
    const auto factor = static_cast<std::int64_t>(placement.stretchFactor);
    const std::int64_t base = std::int64_t{placement.startBeat} * kUnitsPerBeat;
    for (const BlockNote& blockNote : blockNotes_) {
        const std::int64_t start = base + blockNote.note.start * factor;
        const std::int64_t end = std::min(base + blockNote.note.end * factor, pieceEnd_);
        // Placements come in ascending order: the first late note ends it.
        if (start >= pieceEnd_) return false;
        if (written(blockNote, start, end)) visit(blockNote.note, start, end);
    }
    return true;
}

template <typename Visit>
void TrackScoreNotes::forEach(Visit visit) const {
    for (std::size_t p = 0; p < placements_.size(); ++p) {
        Dynamic mark = dynamics_[p];
        const bool more = forEachPlaced(
            placements_[p], [&](const ScoreNote& note, std::int64_t start, std::int64_t end) {
                ScoreNote placed = note;
                placed.start = start;
                placed.end = end;
                if (note.velocity != 0) {
                    placed.dynamic = mark;
                    mark = Dynamic::kNone;
                }
                visit(placed);
            });
        if (!more) return;
    }
}

}  // namespace halvorn

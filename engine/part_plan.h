#pragma once
// The parts of a score and what must be known of each before its first
// measure is written: its notes, its name, its staves and clefs, the drum
// keys a percussion part plays, and how dense its busiest measure is.

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/render_error.h"
#include "engine/score_notes.h"
#include "engine/staff_plan.h"
#include "midi/general_midi.h"
#include "model/expected.h"
#include "model/song.h"

namespace halvorn {

struct PartPlan {
    std::int32_t track = 0;
    TrackScoreNotes notes;
    std::string name;  // Windows-1252, as the document keeps texts
    std::string abbreviation;
    bool percussion = false;
    StaffPlan staves;
    std::bitset<128> drumKeys;        // the keys a percussion part plays
    std::int32_t densestMeasure = 0;  // most notes starting in one measure
};

// The parts: every track in use (muted ones unless skipped) that keeps a
// note inside the piece, in track order. The Song's microsequences and
// placements must be computed. kNotesOutOfMemory as renderTrackNotes.
Expected<std::vector<PartPlan>, Error> planParts(const Song& song, bool skipMuted);

}  // namespace halvorn

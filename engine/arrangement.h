#pragma once
// Arrangement and song rendering: every block is placed over the piece by its
// macrosequence, rendered once and repeated, stretched, at every placement;
// track i of the MidiSong carries block i.

#include <cstdint>
#include <optional>

#include "engine/block_render.h"
#include "engine/render_error.h"
#include "engine/render_progress.h"
#include "midi/midi_song.h"
#include "model/expected.h"
#include "model/random.h"
#include "model/song.h"

namespace halvorn {

// Recomputes the placements of `macrosequence` over a piece of
// `totalMeasures` measures for a block of `blockMeasures` measures, drawing
// from a random source seeded with the macrosequence's seed. Returns
// placementCount.
std::int32_t macrosequencePlace(Macrosequence& macrosequence, std::int32_t totalMeasures,
                                std::int32_t blockMeasures, std::int32_t beatsPerMeasure);
// The same with the draws that follow the seeding taken from `draws`.
std::int32_t macrosequencePlace(Macrosequence& macrosequence, std::int32_t totalMeasures,
                                std::int32_t blockMeasures, std::int32_t beatsPerMeasure,
                                RandomDraws& draws);

// The notes of track `trackIndex`, starts counted in beats from the start of
// the piece: the block's notes at every placement, in placement order. Empty
// when the track has no placements; kNotesOutOfMemory when they cannot be
// held.
Expected<NoteList, Error> renderTrackNotes(const Song& song, std::int32_t trackIndex);

// Fills `slot` from track `trackIndex` at `ppqn` ticks per quarter note,
// keeping the notes that start before the end of the piece. The event
// count; 0 when the track has no notes (the slot is left untouched).
Expected<std::int64_t, Error> renderTrack(MidiTrack& slot, const Song& song,
                                          std::int32_t trackIndex, std::int32_t ppqn);

// What every rendering of the whole piece starts from: computes every
// microsequence (whatever its result) and places every track over the
// piece, stepping `progress` once for each.
void songPrepare(Song& song, RenderProgress& progress);

// Prepares `song` (songPrepare) and refills `midi` with
// the whole piece at `ppqn` ticks per quarter note. With `skipMuted`, muted
// tracks leave their slots empty. On failure `midi` holds the tracks
// rendered so far.
Expected<void, Error> renderSong(MidiSong& midi, Song& song, RenderProgress& progress,
                                 bool skipMuted, std::int32_t ppqn);

}  // namespace halvorn

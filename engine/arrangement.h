#pragma once
// Arrangement and song rendering: every block is placed over the piece by its
// macrosequence, rendered once and repeated, stretched, at every placement;
// track i of the MidiSong carries block i.

#include <cstdint>
#include <optional>

#include "engine/block_render.h"
#include "engine/render_progress.h"
#include "midi/midi_song.h"
#include "model/song.h"

namespace halvorn {

// Recomputes the placements of `macrosequence` over a piece of
// `totalMeasures` measures for a block of `blockMeasures` measures; reseeds
// the random source from the macrosequence's seed. Returns placementCount
// (0 also when memory for the placements ran out).
std::int32_t macrosequencePlace(Macrosequence& macrosequence, std::int32_t totalMeasures,
                                std::int32_t blockMeasures, std::int32_t beatsPerMeasure);

// The notes of track `trackIndex`, starts counted in beats from the start of
// the piece: the block's notes at every placement, in placement order. Empty
// when the track has no placements; nothing after a reported failure
// ("Unable to generate MIDI data. Not enough memory.").
std::optional<NoteList> renderTrackNotes(const Song& song, std::int32_t trackIndex);

// Fills `slot` from track `trackIndex`, keeping the notes that start before
// the end of the piece. Returns the event count; 0 when the track has no
// notes (the slot is left untouched); -1 after a reported failure.
std::int64_t renderTrack(MidiTrack& slot, const Song& song, std::int32_t trackIndex);

// Computes every microsequence, places every track and refills `midi` with
// the whole piece. With `skipMuted`, muted tracks leave their slots empty.
// Returns false after a reported failure; `midi` then holds the tracks
// rendered so far.
bool renderSong(MidiSong& midi, Song& song, RenderProgress& progress, bool skipMuted);

}  // namespace halvorn

#pragma once
// Block rendering: one Block of the Song becomes a list of timed notes
// (rhythm, melody, velocity, accents, run in this order), and a note list or
// the block's beats become a MidiTrack for an audition.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/note.h"
#include "engine/note_value.h"
#include "engine/render_error.h"
#include "midi/midi_song.h"
#include "model/expected.h"
#include "model/random.h"
#include "model/song.h"

namespace halvorn {

using NoteList = std::vector<Note>;

// Rhythm step: draws the note lengths from a random source seeded with the
// block's seed. Starts count in beats from the start of the block. Empty
// when the block index is not in use or the block has no length; any other
// block yields at least one note.
NoteList renderBlockNotes(const Song& song, std::int32_t blockIndex);

// The rhythm step's notes with the value each was drawn as (values[k] for
// notes[k]; the note at the block's end may be cut shorter than its value).
// Notation writes these values instead of reading them back from lengths.
struct BlockRhythm {
    NoteList notes;
    std::vector<NoteValue> values;
};
BlockRhythm renderBlockRhythm(const Song& song, std::int32_t blockIndex);
// The same with the draws that follow the seeding taken from `draws`.
BlockRhythm renderBlockRhythm(const Song& song, std::int32_t blockIndex, RandomDraws& draws);

// Melody step: sets every pitch from the block's melody microsequence through
// the Song's scale. Returns notes.size(), or 0 when the microsequence has no
// values (the notes are then left unchanged).
std::size_t renderBlockMelody(std::span<Note> notes, const Song& song, std::int32_t blockIndex);

// Velocity step: sets every velocity from the block's velocity microsequence.
// Returns notes.size(), or 0 when it has no values (notes unchanged).
std::size_t renderBlockVelocity(std::span<Note> notes, const Song& song, std::int32_t blockIndex);

// Accent step: strengthens notes on accented beats, softens notes between
// beats. Returns notes.size().
std::size_t renderBlockAccents(std::span<Note> notes, const Song& song, std::int32_t blockIndex);

// Whether a note starting at `start` (beats from the block's start) falls on
// a whole beat the block accents: the notes the accent step strengthens.
bool isOnAccentedBeat(const Song& song, const Block& block, double start);

// The four steps in their order: the block's notes with pitches,
// velocities and accents. kNotesOutOfMemory when the rhythm step made no
// notes, which the pages report as memory that ran out.
Expected<NoteList, Error> renderBlock(const Song& song, std::int32_t blockIndex);

// Fills `track` with the event pairs of `notes` on the block's channel at
// `ppqn` ticks per quarter note, sorted by time. kEventsOutOfMemory, with
// the track left without events, when memory runs out.
Expected<void, Error> renderBlockTrack(MidiTrack& track, std::span<const Note> notes,
                                       const Block& block, std::int32_t ppqn);

// Fills `track` with a click on every beat of the block on the percussion
// channel: `level` (0..127) on accented beats, level / 2 on the others.
// Failure is handled as in renderBlockTrack.
Expected<void, Error> renderMetronomeTrack(MidiTrack& track, const Song& song,
                                           std::int32_t blockIndex, std::int32_t level,
                                           std::int32_t ppqn);

}  // namespace halvorn

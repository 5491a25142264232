#pragma once
// What "Listen" plays for one block: the block alone in track slot 0 and,
// when asked for, the metronome in slot 9.

#include <cstdint>
#include <optional>

#include "midi/midi_song.h"
#include "model/error.h"
#include "model/expected.h"
#include "model/song.h"

namespace halvorn {

inline constexpr std::int32_t kAuditionBlockTrack = 0;
inline constexpr std::int32_t kAuditionMetronomeTrack = 9;

// Refills `midi` with block `blockIndex` of `song` at `ppqn` ticks per
// quarter note: computes the block's two microsequences, renders its notes
// and writes them, with the metronome at `metronomeLevel` (0..127) when
// given. The song's tempo, metre and key go with it. When a track writer
// runs out of memory its track stays empty, the song is completed all the
// same and the error says which: kMelodySequence or kVelocitySequence (the
// microsequence is missing or yields nothing), kNotesOutOfMemory, kBlockTrack
// or kMetronomeTrack (that track stays empty).
Expected<void, Error> renderAudition(MidiSong& midi, Song& song, std::int32_t blockIndex,
                                     std::optional<std::int32_t> metronomeLevel, std::int32_t ppqn);

}  // namespace halvorn

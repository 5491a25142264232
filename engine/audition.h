#pragma once
// What "Listen" plays for one block: the block alone in track slot 0 and,
// when asked for, the metronome in slot 9.

#include <cstdint>
#include <optional>

#include "midi/midi_song.h"
#include "model/expected.h"
#include "model/song.h"

namespace halvorn {

inline constexpr std::int32_t kAuditionBlockTrack = 0;
inline constexpr std::int32_t kAuditionMetronomeTrack = 9;

enum class AuditionError {
    kMelodySequence,    // the block's melody microsequence is missing or yields nothing
    kVelocitySequence,  // the same for its velocity microsequence
    kNotes,             // the notes could not be held
    kBlockTrack,        // the block's events could not be held; its track stays empty
    kMetronomeTrack,    // the same for the metronome
};

// Refills `midi` with block `blockIndex` of `song` at `ppqn` ticks per
// quarter note: computes the block's two microsequences, renders its notes
// and writes them, with the metronome at `metronomeLevel` (0..127) when
// given. The song's tempo, metre and key go with it. When a track writer
// runs out of memory its track stays empty, the song is completed all the
// same and the error says which.
Expected<void, AuditionError> renderAudition(MidiSong& midi, Song& song, std::int32_t blockIndex,
                                             std::optional<std::int32_t> metronomeLevel,
                                             std::int32_t ppqn);

}  // namespace halvorn

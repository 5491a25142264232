#pragma once
// The song-wide settings as the Global page shows them (list indices and
// numbers), and the rules that move them to and from the Song. The page's
// texts and MIDI settings are not part of them.

#include <cstdint>

#include "model/song.h"

namespace halvorn {

inline constexpr std::int32_t kSignatureCount = 8;  // numerators 2..9

// List indices are -1 while a list has no selection.
struct GlobalFields {
    std::int32_t signatureIndex = -1;  // numerator - 2
    std::int32_t maxDurationIndex = -1;
    std::int32_t minDurationIndex = -1;
    std::int32_t scaleKeyIndex = -1;
    std::int32_t tempo = 100;
    std::int32_t scaleTypeIndex = -1;
    std::int32_t generatorIndex = -1;
    std::int32_t seed = 0;
};

// The two "Note duration range:" lists: after the first (shortest) changes
// it is moved down to the second; after the second changes it is moved up
// to the first.
void keepMinimumDuration(GlobalFields& fields);
void keepMaximumDuration(GlobalFields& fields);

// What a commit stores: a reversed note range swapped back.
void orderNoteRange(GlobalFields& fields);

// Metre, note range, tempo, generator and seed into the Song.
void storeGlobalFields(const GlobalFields& fields, Song& song);

// The reverse, with the key and scale type stored beside the Song. Numbers a
// foreign file may hold beyond the lists show as the nearest entry, so a
// later commit stores something the lists offer.
GlobalFields loadGlobalFields(const Song& song, std::int32_t scaleKey, std::int32_t scaleType,
                              std::int32_t generatorCount);

}  // namespace halvorn

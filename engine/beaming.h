#pragma once
// Beams for one voice of one measure: eighths and shorter notes are beamed
// by the beat, eighths alone across a beat pair in measures of an even
// number of beats (four eighths to a half of 4/4), and the notes of a
// triplet bracket longer than a beat across the bracket. Rests and longer
// notes break a beam; a group of one note keeps its flag. Each note gets a
// value per beam level: a level's run of two or more notes begins,
// continues and ends; a lone note at a level gets a hook towards the notes
// it belongs with.

#include <array>
#include <cstdint>
#include <vector>

#include "engine/meter.h"
#include "engine/tuplet_windows.h"

namespace halvorn {

enum class Beam : std::uint8_t { kNone, kBegin, kContinue, kEnd, kForwardHook, kBackwardHook };

// A 256th note has six beams.
inline constexpr std::size_t kMaxBeamLevels = 6;
using BeamLevels = std::array<Beam, kMaxBeamLevels>;

// One written value of the voice, in order.
struct BeamedValue {
    std::int64_t start = 0;  // units from the downbeat
    WrittenValue value;
    bool rest = false;
};

// How many beams a value of `type` carries: 1 for an eighth, 0 from a
// quarter on.
std::size_t beamCount(std::int32_t type);

// The beams of each value of `values`, which fill the measure in order;
// `windows` are the measure's triplet brackets and plain stretches.
std::vector<BeamLevels> beamValues(const Meter& meter, const std::vector<TupletWindow>& windows,
                                   const std::vector<BeamedValue>& values);

}  // namespace halvorn

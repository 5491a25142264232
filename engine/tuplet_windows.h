#pragma once
// Where a measure is written in triplets. Notes whose edges fall off the
// plain grid (a multiple of 3 units, a 128th note) need triplet values; each
// such stretch is covered by a triplet bracket that spans exactly a regular
// value: a beat, one of its halves, quarters and so on, a beat pair, or a
// measure that is itself a regular value (1/4, 2/4, 4/4, 8/4). Brackets are
// aligned to their own length from the downbeat, so they never cross a
// barline, and where one bracket could do the work of two (triplet
// quarters over a beat pair), it does.

#include <cstdint>
#include <vector>

#include "engine/meter.h"

namespace halvorn {

// One stretch of a voice: a note (chord) or a rest, in units from the
// downbeat.
struct LaneSpan {
    std::int64_t start = 0;
    std::int64_t end = 0;
    bool rest = false;
};

struct TupletWindow {
    std::int64_t start = 0;
    std::int64_t end = 0;
    bool triplet = false;
    bool operator==(const TupletWindow&) const = default;
};

// The longest triplet type a bracket of `units` holds: the value of two
// thirds of it (a triplet quarter in a beat).
std::int32_t largestTripletType(std::int64_t units);

// The measure cut into plain stretches and triplet brackets, in order and
// covering it whole. `spans` cover the measure in order. Among the ways to
// cover every off-grid edge, the one with the fewest written values (each
// bracket counted as one more) wins; on a tie, the larger bracket. A
// bracket longer than a beat is only taken for values of at least its
// third.
std::vector<TupletWindow> tupletWindows(const Meter& meter, const std::vector<LaneSpan>& spans);

}  // namespace halvorn

#pragma once
// "Random Values" on the Blocks page.

#include <cstdint>

#include "edit/block_fields.h"
#include "model/random.h"
#include "model/song.h"

namespace halvorn {

struct BlockRandomValues {
    BlockFields fields;
    std::int32_t centerIndex = 0;
    std::int32_t curveIndex = 0;
};

// One draw each, in this order: key, scale type, length, melody sequence,
// melody range, offset, velocity sequence, velocity range, amp, threshold,
// center (within the Song's note range), curve, dotted, triplets, legato,
// seed, one accent per beat of the metre (on above 0.5), accent level. The
// description, channel, instrument, rhythm sliders and the accents beyond
// the metre stay as in `fields`.
BlockRandomValues randomBlockValues(BlockFields fields, const Song& song, RandomDraws& draws);

}  // namespace halvorn

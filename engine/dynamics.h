#pragma once
// Dynamic marks from velocities: the six levels from pp to ff, each the
// span of MIDI velocities around its usual value (pp 33, p 49, mp 64, mf 80,
// f 96, ff 112), and where a part shows them: at its first notes, then
// wherever a block placement's mean velocity reaches another level.

#include <cstdint>
#include <string_view>
#include <vector>

namespace halvorn {

enum class Dynamic : std::uint8_t {
    kNone,
    kPianissimo,
    kPiano,
    kMezzoPiano,
    kMezzoForte,
    kForte,
    kFortissimo
};

// The level of a mean MIDI velocity (0..127).
Dynamic dynamicOf(double velocity);

// MusicXML's element name for the level: "pp" .. "ff"; empty for kNone.
std::string_view dynamicName(Dynamic dynamic);

// The mark to show at the first note of each placement, given each
// placement's mean velocity (negative for a placement without notes): the
// first placement with notes gets its level, a later one only a change.
std::vector<Dynamic> placementDynamics(const std::vector<double>& meanVelocities);

}  // namespace halvorn

#include "engine/beaming.h"

#include <algorithm>

namespace halvorn {
namespace {

bool isPlainEighth(const BeamedValue& v) {
    return !v.rest && !v.value.triplet && !v.value.dotted && v.value.type == kEighthType;
}

bool isBeamable(const BeamedValue& v) {
    return !v.rest && beamCount(v.value.type) > 0;
}

// The start of the group each value beams in: its beat, its pair when the
// pair holds eighths only, or its bracket when that is longer than a beat.
std::vector<std::int64_t> beamGroups(const Meter& meter, const std::vector<TupletWindow>& windows,
                                     const std::vector<BeamedValue>& values) {
    std::vector<bool> eighthsOnly(static_cast<std::size_t>(meter.measureUnits() / kPairUnits + 1),
                                  true);
    for (const BeamedValue& v : values)
        if (!isPlainEighth(v)) eighthsOnly[static_cast<std::size_t>(v.start / kPairUnits)] = false;
    std::vector<std::int64_t> groups;
    groups.reserve(values.size());
    auto window = windows.begin();
    for (const BeamedValue& v : values) {
        while (window != windows.end() && window->end <= v.start) ++window;
        const std::int64_t pair = v.start - v.start % kPairUnits;
        if (window != windows.end() && window->triplet && window->start <= v.start &&
            window->end - window->start > kUnitsPerBeat)
            groups.push_back(window->start);
        else if (meter.beats % 2 == 0 && meter.pairAt(pair) &&
                 eighthsOnly[static_cast<std::size_t>(pair / kPairUnits)])
            groups.push_back(pair);
        else
            groups.push_back(v.start - v.start % kUnitsPerBeat);
    }
    return groups;
}

// A lone note at a level hooks towards the notes it belongs with: forward at
// the start of a run, backward at its end, and inside by where it stands.
Beam hookFor(const std::vector<BeamedValue>& values, std::size_t index, std::size_t first,
             std::size_t last, std::int64_t groupStart) {
    if (index == first) return Beam::kForwardHook;
    if (index == last) return Beam::kBackwardHook;
    const BeamedValue& v = values[index];
    return (v.start - groupStart) % (2 * v.value.units) == 0 ? Beam::kForwardHook
                                                             : Beam::kBackwardHook;
}

void beamRun(const std::vector<BeamedValue>& values, std::size_t first, std::size_t last,
             std::int64_t groupStart, std::vector<BeamLevels>& beams) {
    std::size_t levels = 0;
    for (std::size_t i = first; i <= last; ++i)
        levels = std::max(levels, beamCount(values[i].value.type));
    for (std::size_t level = 1; level <= std::min(levels, kMaxBeamLevels); ++level) {
        std::size_t i = first;
        while (i <= last) {
            if (beamCount(values[i].value.type) < level) {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j + 1 <= last && beamCount(values[j + 1].value.type) >= level) ++j;
            if (i == j) {
                beams[i][level - 1] = hookFor(values, i, first, last, groupStart);
            } else {
                beams[i][level - 1] = Beam::kBegin;
                for (std::size_t k = i + 1; k < j; ++k) beams[k][level - 1] = Beam::kContinue;
                beams[j][level - 1] = Beam::kEnd;
            }
            i = j + 1;
        }
    }
}

}  // namespace

std::size_t beamCount(std::int32_t type) {
    return type <= kEighthType ? static_cast<std::size_t>(kEighthType - type + 1) : 0;
}

std::vector<BeamLevels> beamValues(const Meter& meter, const std::vector<TupletWindow>& windows,
                                   const std::vector<BeamedValue>& values) {
    std::vector<BeamLevels> beams(values.size(), BeamLevels{});
    const std::vector<std::int64_t> groups = beamGroups(meter, windows, values);
    std::size_t i = 0;
    while (i < values.size()) {
        if (!isBeamable(values[i])) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j + 1 < values.size() && isBeamable(values[j + 1]) && groups[j + 1] == groups[i])
            ++j;
        if (j > i) beamRun(values, i, j, groups[i], beams);
        i = j + 1;
    }
    return beams;
}

}  // namespace halvorn

#pragma once
// The beat structure of a measure of n/4 as a score shows it: beats of
// kUnitsPerBeat units, paired from the downbeat (2+2 in 4/4, 2+1 in 3/4,
// 2+2+1 in 5/4). A pair is as far as a half rest or a beam of eighths
// reaches; from four beats on, a note ties where a pair ends unless it
// starts on the downbeat (the middle of a 4/4 bar shows). Positions count
// in units from the downbeat; every rule here is plain-valued time, triplet
// brackets have their own (tuplet_windows.h).

#include <cstdint>
#include <vector>

#include "engine/duration_split.h"
#include "engine/note_value.h"

namespace halvorn {

inline constexpr std::int64_t kPairUnits = 2 * kUnitsPerBeat;

struct Meter {
    std::int32_t beats = 4;  // quarter notes a measure, at least 1

    std::int64_t measureUnits() const { return std::int64_t{beats} * kUnitsPerBeat; }
    // Whether a pair starting at `position` lies inside the measure.
    bool pairAt(std::int64_t position) const {
        return position % kPairUnits == 0 && position + kPairUnits <= measureUnits();
    }
};

// Whether a note [start, end) is a figure the meter accepts across a beat
// without a tie: the eighth-quarter-eighth syncopation, a quarter from the
// middle of a pair's first beat.
bool isAcceptedSyncopation(const Meter& meter, std::int64_t start, std::int64_t end);

// The values of a note over [start, end) of one measure in plain time, tied
// where the beat must show: a note that starts off the beat and crosses one
// is tied at that beat (except the accepted syncopation), a note that
// crosses the end of a pair in a measure of four beats or more is tied
// there unless it starts on the downbeat. A piece that starts on a beat is
// written longest value first; one that starts between beats keeps to the
// subdivisions of its beat (appendAlignedValues). Appended to `values`.
void appendPlainNoteValues(const Meter& meter, std::int64_t start, std::int64_t end,
                           std::vector<WrittenValue>& values);

// The values of a rest over [start, end) in plain time, each the largest
// the grouping allows: a half rest over a whole pair, a quarter rest over a
// beat, within a beat the values appendAlignedValues gives a rest. No
// dotted rest of a beat or more. (An empty measure is a whole-measure rest,
// which the layout writes itself.) Appended to `values`.
void appendPlainRestValues(const Meter& meter, std::int64_t start, std::int64_t end,
                           std::vector<WrittenValue>& values);

// How many values appendPlainNoteValues or appendPlainRestValues gives.
std::size_t plainValueCount(const Meter& meter, std::int64_t start, std::int64_t end, bool rest);

}  // namespace halvorn

#pragma once
// Lays a track's notes out in measures for notation: notes that start and
// end together become chords, notes that overlap others a voice of their
// own; each voice of each staff is filled with rests to the measure's end,
// notes that cross a barline are cut and tied. Each measure of a voice is
// then written the way the meter reads: triplet brackets where the notes
// need them (tuplet_windows.h), notes tied where the beat must show and
// rests merged as far as the beat grouping allows (meter.h), eighths and
// shorter beamed (beaming.h).

#include <cstdint>
#include <vector>

#include "engine/beaming.h"
#include "engine/duration_split.h"
#include "engine/meter.h"
#include "engine/score_notes.h"

namespace halvorn {

struct ChordTone {
    std::int32_t pitch = 0;
    std::uint8_t velocity = 0;
    bool accented = false;
    Dynamic dynamic = Dynamic::kNone;
};

struct ScoreChord {
    std::int64_t start = 0;
    std::int64_t end = 0;
    bool tiedFromBefore = false;  // continues a chord of the measure before
    std::vector<ChordTone> tones;
};

// One written note (a chord's tones) or rest.
struct ScoreElement {
    std::int32_t chord = -1;  // index into ScoreLane::chords; -1 for a rest
    std::int64_t start = 0;   // units from the downbeat
    WrittenValue value;
    bool wholeMeasureRest = false;
    bool tieStart = false;
    bool tieStop = false;
    bool attack = false;  // the note's first written value: accents go here
    bool tupletStart = false;
    bool tupletStop = false;
    BeamLevels beams{};
};

struct ScoreLane {
    std::int32_t staff = 1;  // 1, or 2 for the lower staff of a grand staff
    std::int32_t voice = 1;
    std::vector<ScoreChord> chords;
    std::vector<ScoreElement> elements;
};

class ScoreLayout {
  public:
    // Measures of `meter`; with two staves, notes below `lowestUpper` go to
    // the lower one.
    ScoreLayout(Meter meter, std::int32_t staves, std::int32_t lowestUpper);

    std::int64_t measureEnd() const { return measureStart_ + meter_.measureUnits(); }

    // Notes in ascending start order, each starting inside the current
    // measure (before measureEnd()).
    void add(const ScoreNote& note);

    // The voices of the current measure, each filled to its end, in order of
    // staff and voice; the first voice of each staff is always there. Then
    // moves on to the next measure, carrying notes that cross the barline.
    std::vector<ScoreLane> finishMeasure();

  private:
    struct Lane {
        std::int32_t staff = 1;
        std::int32_t voice = 1;
        std::int64_t busyUntil = 0;
        std::vector<ScoreChord> chords;
    };

    Lane& laneFor(const ScoreNote& note, std::int32_t staff);
    ScoreLane layOut(const Lane& lane) const;

    Meter meter_;
    std::int32_t staves_;
    std::int32_t lowestUpper_;
    std::int64_t measureStart_ = 0;
    std::vector<Lane> lanes_;
};

}  // namespace halvorn

#pragma once
// Lays a track's notes out in measures for notation: notes that start and
// end together become chords, notes that overlap others a voice of their
// own; each voice of each staff is filled with rests to the measure's end,
// notes that cross a barline are cut and tied, and every length becomes
// written values (duration_split.h) with triplet brackets around each
// complete group of triplet values.

#include <cstdint>
#include <vector>

#include "engine/duration_split.h"
#include "engine/score_notes.h"

namespace halvorn {

struct ChordTone {
    std::int32_t pitch = 0;
    std::uint8_t velocity = 0;
    bool accented = false;
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
    WrittenValue value;
    bool wholeMeasureRest = false;
    bool tieStart = false;
    bool tieStop = false;
    bool attack = false;  // the note's first written value: accents go here
    bool tupletStart = false;
    bool tupletStop = false;
};

struct ScoreLane {
    std::int32_t staff = 1;  // 1, or 2 for the lower staff of a grand staff
    std::int32_t voice = 1;
    std::vector<ScoreChord> chords;
    std::vector<ScoreElement> elements;
};

class ScoreLayout {
  public:
    // Measures of `measureUnits`; with two staves, notes below `lowestUpper`
    // go to the lower one.
    ScoreLayout(std::int64_t measureUnits, std::int32_t staves, std::int32_t lowestUpper);

    std::int64_t measureEnd() const { return measureStart_ + measureUnits_; }

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
    void appendRests(ScoreLane& lane, std::int64_t from, std::int64_t to) const;

    std::int64_t measureUnits_;
    std::int32_t staves_;
    std::int32_t lowestUpper_;
    std::int64_t measureStart_ = 0;
    std::vector<Lane> lanes_;
};

// Marks the triplet brackets of a voice's elements: each run of triplet
// values is closed as soon as it adds up to a plain length (three
// eighth-note triplets to a beat, say), or where the run ends.
void markTupletBrackets(std::vector<ScoreElement>& elements);

}  // namespace halvorn

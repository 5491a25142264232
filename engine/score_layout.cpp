#include "engine/score_layout.h"

#include <algorithm>

namespace halvorn {
namespace {

constexpr std::int64_t kPlainGrain = 3;  // a 128th note, the shortest plain value
constexpr std::int32_t kVoicesPerStaff = 4;

}  // namespace

ScoreLayout::ScoreLayout(std::int64_t measureUnits, std::int32_t staves, std::int32_t lowestUpper)
    : measureUnits_(measureUnits), staves_(staves), lowestUpper_(lowestUpper) {
    for (std::int32_t staff = 1; staff <= staves_; ++staff)
        lanes_.push_back(
            {.staff = staff, .voice = (staff - 1) * kVoicesPerStaff + 1, .chords = {}});
}

ScoreLayout::Lane& ScoreLayout::laneFor(const ScoreNote& note, std::int32_t staff) {
    std::int32_t count = 0;
    for (Lane& lane : lanes_) {
        if (lane.staff != staff) continue;
        ++count;
        if (!lane.chords.empty()) {
            const ScoreChord& last = lane.chords.back();
            if (!last.tiedFromBefore && last.start == note.start && last.end == note.end)
                return lane;
        }
        if (lane.busyUntil <= note.start) return lane;
    }
    // Voices 1-4 belong to the upper staff, 5-8 to the lower; a fifth
    // overlapping line on a staff takes a number after both.
    const std::int32_t voice = count < kVoicesPerStaff
                                   ? (staff - 1) * kVoicesPerStaff + count + 1
                                   : 2 * kVoicesPerStaff + static_cast<std::int32_t>(lanes_.size());
    lanes_.push_back({.staff = staff, .voice = voice, .chords = {}});
    std::stable_sort(lanes_.begin(), lanes_.end(), [](const Lane& a, const Lane& b) {
        return a.staff != b.staff ? a.staff < b.staff : a.voice < b.voice;
    });
    for (Lane& lane : lanes_)
        if (lane.voice == voice) return lane;
    return lanes_.back();  // not reached
}

void ScoreLayout::add(const ScoreNote& note) {
    const std::int32_t staff = staves_ == 2 && note.pitch < lowestUpper_ ? 2 : 1;
    Lane& lane = laneFor(note, staff);
    const ChordTone tone{note.pitch, note.velocity, note.accented};
    if (!lane.chords.empty() && lane.chords.back().start == note.start &&
        lane.chords.back().end == note.end && !lane.chords.back().tiedFromBefore) {
        lane.chords.back().tones.push_back(tone);
        return;
    }
    lane.chords.push_back({.start = note.start, .end = note.end, .tones = {tone}});
    lane.busyUntil = note.end;
}

void ScoreLayout::appendRests(ScoreLane& lane, std::int64_t from, std::int64_t to) const {
    // Rests are cut at beats, so each beat reads on its own.
    for (const TimeSpan& span : splitAtMultiples(from, to, kUnitsPerBeat))
        for (const WrittenValue& value : splitDuration(span.end - span.start))
            lane.elements.push_back({.value = value});
}

ScoreLane ScoreLayout::layOut(const Lane& lane) const {
    ScoreLane out{.staff = lane.staff, .voice = lane.voice, .chords = lane.chords, .elements = {}};
    const std::int64_t end = measureEnd();
    if (lane.chords.empty()) {
        out.elements.push_back({.value = {.units = measureUnits_}, .wholeMeasureRest = true});
        return out;
    }
    std::int64_t cursor = measureStart_;
    for (std::size_t c = 0; c < lane.chords.size(); ++c) {
        const ScoreChord& chord = lane.chords[c];
        appendRests(out, cursor, chord.start);
        const std::int64_t pieceEnd = std::min(chord.end, end);
        const auto values = splitDuration(pieceEnd - chord.start);
        for (std::size_t v = 0; v < values.size(); ++v) {
            out.elements.push_back({.chord = static_cast<std::int32_t>(c),
                                    .value = values[v],
                                    .tieStart = v + 1 < values.size() || chord.end > end,
                                    .tieStop = v > 0 || chord.tiedFromBefore,
                                    .attack = v == 0 && !chord.tiedFromBefore});
        }
        cursor = pieceEnd;
    }
    appendRests(out, cursor, end);
    markTupletBrackets(out.elements);
    return out;
}

std::vector<ScoreLane> ScoreLayout::finishMeasure() {
    std::vector<ScoreLane> measure;
    std::vector<std::int32_t> staffShown;
    for (const Lane& lane : lanes_) {
        const bool firstOfStaff =
            std::find(staffShown.begin(), staffShown.end(), lane.staff) == staffShown.end();
        if (firstOfStaff) staffShown.push_back(lane.staff);
        if (firstOfStaff || !lane.chords.empty()) measure.push_back(layOut(lane));
    }
    const std::int64_t end = measureEnd();
    for (Lane& lane : lanes_) {
        std::vector<ScoreChord> carried;
        if (!lane.chords.empty() && lane.chords.back().end > end) {
            ScoreChord rest = std::move(lane.chords.back());
            rest.start = end;
            rest.tiedFromBefore = true;
            carried.push_back(std::move(rest));
        }
        lane.chords = std::move(carried);
    }
    measureStart_ = end;
    return measure;
}

void markTupletBrackets(std::vector<ScoreElement>& elements) {
    std::int64_t run = 0;
    ScoreElement* last = nullptr;
    for (ScoreElement& element : elements) {
        if (!element.value.triplet) {
            if (last) last->tupletStop = true;
            run = 0;
            last = nullptr;
            continue;
        }
        if (!last) element.tupletStart = true;
        run += element.value.units;
        last = &element;
        if (run % kPlainGrain == 0) {
            element.tupletStop = true;
            run = 0;
            last = nullptr;
        }
    }
    if (last) last->tupletStop = true;
}

}  // namespace halvorn

#include "engine/score_layout.h"

#include <algorithm>

#include "engine/tuplet_windows.h"

namespace halvorn {
namespace {

constexpr std::int32_t kVoicesPerStaff = 4;

// Appends the values of [from, to) of one span inside one window.
void appendValuesIn(const Meter& meter, const TupletWindow& window, const LaneSpan& span,
                    std::int64_t from, std::int64_t to, std::vector<WrittenValue>& values) {
    if (window.triplet)
        appendAlignedValues(from - window.start, to - window.start,
                            largestTripletType(window.end - window.start), true,
                            span.rest ? Figures::kRests : Figures::kNotes, values);
    else if (span.rest)
        appendPlainRestValues(meter, from, to, values);
    else
        appendPlainNoteValues(meter, from, to, values);
}

// The first and last value inside each triplet window open and close its
// bracket.
void markBrackets(std::vector<ScoreElement>& elements, const std::vector<TupletWindow>& windows) {
    auto window = windows.begin();
    ScoreElement* last = nullptr;
    for (ScoreElement& element : elements) {
        const auto before = window;
        while (window != windows.end() && window->end <= element.start) ++window;
        if (window != before && last) last->tupletStop = true;
        if (window == windows.end() || !window->triplet) {
            last = nullptr;
            continue;
        }
        if (!last || window != before) element.tupletStart = true;
        last = &element;
    }
    if (last) last->tupletStop = true;
}

void markBeams(std::vector<ScoreElement>& elements, const Meter& meter,
               const std::vector<TupletWindow>& windows) {
    std::vector<BeamedValue> values;
    values.reserve(elements.size());
    for (const ScoreElement& element : elements)
        values.push_back(
            {.start = element.start, .value = element.value, .rest = element.chord < 0});
    const std::vector<BeamLevels> beams = beamValues(meter, windows, values);
    for (std::size_t k = 0; k < elements.size(); ++k) elements[k].beams = beams[k];
}

}  // namespace

ScoreLayout::ScoreLayout(Meter meter, std::int32_t staves, std::int32_t lowestUpper)
    : meter_(meter), staves_(staves), lowestUpper_(lowestUpper) {
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
    const ChordTone tone{note.pitch, note.velocity, note.accented, note.dynamic};
    if (!lane.chords.empty() && lane.chords.back().start == note.start &&
        lane.chords.back().end == note.end && !lane.chords.back().tiedFromBefore) {
        lane.chords.back().tones.push_back(tone);
        return;
    }
    lane.chords.push_back({.start = note.start, .end = note.end, .tones = {tone}});
    lane.busyUntil = note.end;
}

ScoreLane ScoreLayout::layOut(const Lane& lane) const {
    ScoreLane out{.staff = lane.staff, .voice = lane.voice, .chords = lane.chords, .elements = {}};
    const std::int64_t units = meter_.measureUnits();
    if (lane.chords.empty()) {
        out.elements.push_back({.value = {.units = units}, .wholeMeasureRest = true});
        return out;
    }
    // The voice from the downbeat: its chords and the rests between them.
    std::vector<LaneSpan> spans;
    std::vector<std::int32_t> chordOfSpan;
    std::int64_t cursor = 0;
    for (std::size_t c = 0; c < lane.chords.size(); ++c) {
        const std::int64_t start = lane.chords[c].start - measureStart_;
        const std::int64_t end = std::min(lane.chords[c].end - measureStart_, units);
        if (start > cursor) {
            spans.push_back({cursor, start, true});
            chordOfSpan.push_back(-1);
        }
        spans.push_back({start, end, false});
        chordOfSpan.push_back(static_cast<std::int32_t>(c));
        cursor = end;
    }
    if (cursor < units) {
        spans.push_back({cursor, units, true});
        chordOfSpan.push_back(-1);
    }

    const std::vector<TupletWindow> windows = tupletWindows(meter_, spans);
    auto window = windows.begin();
    std::vector<WrittenValue> values;
    for (std::size_t s = 0; s < spans.size(); ++s) {
        const LaneSpan& span = spans[s];
        const std::size_t first = out.elements.size();
        for (std::int64_t at = span.start; at < span.end;) {
            while (window->end <= at) ++window;
            const std::int64_t to = std::min(span.end, window->end);
            std::int64_t position = at;
            values.clear();
            appendValuesIn(meter_, *window, span, at, to, values);
            for (const WrittenValue& value : values) {
                out.elements.push_back(
                    {.chord = chordOfSpan[s], .start = position, .value = value});
                position += value.units;
            }
            at = to;
        }
        if (span.rest) continue;
        const ScoreChord& chord = lane.chords[static_cast<std::size_t>(chordOfSpan[s])];
        for (std::size_t k = first; k < out.elements.size(); ++k) {
            ScoreElement& element = out.elements[k];
            element.tieStop = k > first || chord.tiedFromBefore;
            element.tieStart = k + 1 < out.elements.size() || chord.end > measureEnd();
            element.attack = k == first && !chord.tiedFromBefore;
        }
    }
    markBrackets(out.elements, windows);
    markBeams(out.elements, meter_, windows);
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
            // The dynamic mark was shown where the note began.
            for (ChordTone& tone : rest.tones) tone.dynamic = Dynamic::kNone;
            carried.push_back(std::move(rest));
        }
        lane.chords = std::move(carried);
    }
    measureStart_ = end;
    return measure;
}

}  // namespace halvorn

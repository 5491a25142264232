#include "engine/picture_descriptions.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>
#include <utility>

#include "engine/arrangement_picture.h"
#include "engine/block_render.h"
#include "engine/key_signature.h"
#include "engine/pitch_spelling.h"

namespace halvorn {
namespace {

// The fractions of a beat that have a sign of their own, by numerator and
// denominator in lowest terms.
struct Vulgar {
    std::int64_t numerator;
    std::int64_t denominator;
    const char* sign;
};
constexpr std::array<Vulgar, 11> kVulgarFractions = {{{1, 2, "½"},
                                                      {1, 3, "⅓"},
                                                      {2, 3, "⅔"},
                                                      {1, 4, "¼"},
                                                      {3, 4, "¾"},
                                                      {1, 6, "⅙"},
                                                      {5, 6, "⅚"},
                                                      {1, 8, "⅛"},
                                                      {3, 8, "⅜"},
                                                      {5, 8, "⅝"},
                                                      {7, 8, "⅞"}}};

constexpr std::array<const char*, kNoteValueCount> kValueNames = {
    "sixty-fourth", "thirty-second", "sixteenth",    "eighth",          "quarter",
    "half",         "whole",         "double whole", "quadruple whole", "octuple whole"};

// `whole` and `units` / 96 after it: "3", "3¼", "3 5/96", "¼" (no whole).
std::string wholeAndFraction(std::int64_t whole, std::int64_t units, bool showZero) {
    std::string text = whole != 0 || showZero || units == 0 ? std::to_string(whole) : std::string();
    if (units == 0) return text;
    const std::int64_t common = std::gcd(units, kUnitsPerBeat);
    const std::int64_t numerator = units / common, denominator = kUnitsPerBeat / common;
    for (const Vulgar& fraction : kVulgarFractions) {
        if (fraction.numerator == numerator && fraction.denominator == denominator)
            return text + fraction.sign;
    }
    if (!text.empty()) text += ' ';
    return text + std::to_string(numerator) + '/' + std::to_string(denominator);
}

// Six significant digits and no trailing zeros: "-2.33333", "2", "0.1".
std::string number(double value) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.6g", value == 0.0 ? 0.0 : value);
    return text.data();
}

std::string planePointText(double x, double y) {
    return "x " + number(x) + ", y " + number(y);
}

std::string planeRangeText(double minX, double maxX, double minY, double maxY) {
    return "x from " + number(minX) + " to " + number(maxX) + ", y from " + number(minY) + " to " +
           number(maxY);
}

PixelRect squareAround(PixelPoint centre) {
    return {centre.column - 1, centre.row - 1, centre.column + 1, centre.row + 1};
}

}  // namespace

std::string pitchName(std::int32_t note, std::int32_t keyFifths) {
    const SpelledPitch spelled = spellPitch(note, keyFifths);
    std::string name(1, spelled.step);
    if (spelled.alter > 0) name += " sharp ";
    if (spelled.alter < 0) name += " flat ";
    return name + std::to_string(spelled.octave);
}

std::string beatText(std::int64_t units) {
    if (units < 0) units = 0;
    return wholeAndFraction(units / kUnitsPerBeat + 1, units % kUnitsPerBeat, true);
}

std::string noteValueName(const NoteValue& value) {
    const std::int32_t index =
        std::clamp(value.exponent, kMinNoteExponent, kMaxNoteExponent) - kMinNoteExponent;
    std::string name = kValueNames[static_cast<std::size_t>(index)];
    if (value.dotted) name = "dotted " + name;
    if (value.triplet) name += " triplet";
    return name;
}

std::optional<NoteValue> noteValueOfUnits(std::int64_t units) {
    for (const auto& [dotted, triplet] : {std::pair{false, false}, std::pair{true, false},
                                          std::pair{false, true}, std::pair{true, true}}) {
        for (std::int32_t exponent = kMinNoteExponent; exponent <= kMaxNoteExponent; ++exponent) {
            const NoteValue value{exponent, dotted, triplet};
            if (noteValueUnits(value) == units) return value;
        }
    }
    return std::nullopt;
}

std::string beatLengthText(std::int64_t units) {
    if (units < 0) units = 0;
    const std::string amount =
        wholeAndFraction(units / kUnitsPerBeat, units % kUnitsPerBeat, units == 0);
    return amount + (units == 0 || units > kUnitsPerBeat ? " beats" : " beat");
}

std::string spokenNoteText(const SpokenNote& note, const NoteSpeech& speech) {
    const std::int64_t measureUnits = kUnitsPerBeat * std::max(speech.beatsPerMeasure, 1);
    const std::int64_t start = std::max<std::int64_t>(note.startUnits, 0);
    std::string text = pitchName(note.pitch, speech.keyFifths) + ", ";
    if (speech.measures) text += "measure " + std::to_string(start / measureUnits + 1) + ", ";
    text += "beat " + beatText(start % measureUnits) + ", ";
    if (const auto value = note.written ? note.written : noteValueOfUnits(note.lengthUnits))
        text += noteValueName(*value);
    else
        text += beatLengthText(note.lengthUnits);
    return text + ", velocity " + std::to_string(note.velocity);
}

NoteNaming blockNoteNaming(const Song& song, std::int32_t blockIndex, std::int32_t ppqn) {
    NoteNaming naming;
    naming.keyFifths = keySignatureOf(song.scale).sharps;
    const BlockRhythm rhythm = renderBlockRhythm(song, blockIndex);
    naming.written.reserve(rhythm.notes.size());
    for (std::size_t k = 0; k < rhythm.notes.size() && k < rhythm.values.size(); ++k) {
        const std::int64_t tick = beatsToTicks(rhythm.notes[k].start, ppqn);
        naming.written.push_back({static_cast<std::uint32_t>(std::clamp<std::int64_t>(
                                      tick, 0, std::numeric_limits<std::uint32_t>::max())),
                                  rhythm.values[k]});
    }
    return naming;
}

std::vector<std::string> pianoRollNoteTexts(std::span<const PianoRollNote> notes,
                                            const PianoRollFrame& frame, const NoteNaming& naming) {
    const std::uint64_t ticksPerBeat = std::max<std::uint32_t>(frame.ticksPerBeat, 1);
    // To the nearest 1/96 beat: ticks were truncated from exact beats.
    const auto units = [&](std::uint64_t ticks) {
        return static_cast<std::int64_t>((ticks * kUnitsPerBeat + ticksPerBeat / 2) / ticksPerBeat);
    };
    const NoteSpeech speech{frame.beatsPerMeasure, naming.keyFifths,
                            frame.beats > frame.beatsPerMeasure};
    std::vector<std::string> texts;
    texts.reserve(notes.size());
    for (const PianoRollNote& note : notes) {
        const auto written = std::lower_bound(
            naming.written.begin(), naming.written.end(), note.start,
            [](const WrittenNote& candidate, std::uint32_t tick) { return candidate.tick < tick; });
        const bool known = written != naming.written.end() && written->tick == note.start;
        const SpokenNote spoken{note.pitch, note.velocity, units(note.start),
                                units(std::uint64_t{note.end} + 1) - units(note.start),
                                known ? std::optional(written->value) : std::nullopt};
        texts.push_back(spokenNoteText(spoken, speech));
    }
    return texts;
}

std::string arrangementCellText(const Song& song, std::int32_t track, std::int64_t measure,
                                bool playLine) {
    std::string text = "empty";
    if (const auto bar = arrangementBarAt(song, track, measure)) {
        const std::string block = "block " + std::to_string(track);
        text = measure == bar->firstMeasure
                   ? block + " placed, ×" + number(bar->stretchFactor) + " stretch"
                   : block + " continues, measure " +
                         std::to_string(measure - bar->firstMeasure + 1) + " of " +
                         std::to_string(bar->measures);
    }
    return playLine ? text + ", play line" : text;
}

std::int64_t measureOfBeats(double positionBeats, std::int32_t beatsPerMeasure) {
    if (beatsPerMeasure <= 0 || !(positionBeats >= 0.0)) return 1;
    return static_cast<std::int64_t>(std::floor(std::min(positionBeats / beatsPerMeasure, 1e12))) +
           1;
}

std::string sequenceValueText(std::size_t index, std::int32_t value) {
    return "Value " + std::to_string(index + 1) + ": " + std::to_string(value);
}

std::vector<DescribedMark> mandelbrotMarks(const MandelbrotEditor& editor) {
    const PlaneView& view = editor.view();
    const MandelbrotParameters stored = editor.store();
    const PixelRect image{0, 0, editor.width() - 1, editor.height() - 1};
    std::vector<DescribedMark> marks;
    marks.push_back({"View: " + planeRangeText(view.minX, view.maxX, view.minY, view.maxY), image});
    if (editor.editMode() == EditMode::Rectangle) {
        const PixelRect rect = editor.zoomRect();
        const double dx = (view.maxX - view.minX) / editor.width();
        const double dy = (view.maxY - view.minY) / editor.height();
        const PixelRect shown{std::min(rect.left, rect.right), std::min(rect.top, rect.bottom),
                              std::max(rect.left, rect.right), std::max(rect.top, rect.bottom)};
        marks.push_back({"Zoom rectangle: " + planeRangeText(view.minX + shown.left * dx,
                                                             view.minX + shown.right * dx,
                                                             view.minY + shown.top * dy,
                                                             view.minY + shown.bottom * dy),
                         shown});
    }
    marks.push_back({"Point 1: " + planePointText(stored.point1X, stored.point1Y),
                     squareAround(editor.point1())});
    if (editor.pathKind() == MandelbrotParameters::kLine) {
        marks.push_back({"Point 2: " + planePointText(stored.point2X, stored.point2Y),
                         squareAround(editor.point2())});
        return marks;
    }
    const MandelbrotOrbit orbit =
        orbitMarks(editor.width(), editor.height(), view, editor.point1());
    // The first orbit point is point 1 itself.
    for (std::size_t n = 1; n < orbit.points.size(); ++n) {
        const OrbitPoint& point = orbit.points[n];
        marks.push_back({"Orbit step " + std::to_string(n) + ": " +
                             planePointText(point.place.x, point.place.y),
                         squareAround(point.pixel)});
    }
    return marks;
}

}  // namespace halvorn

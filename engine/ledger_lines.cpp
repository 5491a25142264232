#include "engine/ledger_lines.h"

namespace halvorn {
namespace {

constexpr std::int32_t kStepsPerOctave = 7;
// The furthest an octave line reaches: 15ma and 15mb.
constexpr std::int32_t kWidestShift = 2;

std::int32_t stepIndex(char step) {
    // C D E F G A B
    constexpr char kSteps[] = "CDEFGAB";
    for (std::int32_t k = 0; k < kStepsPerOctave; ++k)
        if (kSteps[k] == step) return k;
    return 0;
}

// Diatonic positions of the bottom and top lines: E4 and F5 on a treble
// staff, G2 and A3 on a bass staff.
struct StaffLines {
    std::int32_t bottom;
    std::int32_t top;
};

StaffLines linesOf(Clef clef) {
    if (clef == Clef::kBass) return {2 * kStepsPerOctave + 4, 3 * kStepsPerOctave + 5};
    return {4 * kStepsPerOctave + 2, 5 * kStepsPerOctave + 3};
}

std::int32_t ledgerLinesAt(Clef clef, std::int32_t position) {
    const StaffLines lines = linesOf(clef);
    // A ledger line every second position beyond the staff.
    if (position > lines.top) return (position - lines.top) / 2;
    if (position < lines.bottom) return -((lines.bottom - position) / 2);
    return 0;
}

}  // namespace

std::int32_t ledgerLines(Clef clef, const SpelledPitch& pitch) {
    return ledgerLinesAt(clef, pitch.octave * kStepsPerOctave + stepIndex(pitch.step));
}

std::int32_t octaveShiftFor(Clef clef, const SpelledPitch& pitch) {
    const std::int32_t position = pitch.octave * kStepsPerOctave + stepIndex(pitch.step);
    std::int32_t shift = 0;
    while (shift < kWidestShift &&
           ledgerLinesAt(clef, position - shift * kStepsPerOctave) > kMostLedgerLines)
        ++shift;
    while (shift > -kWidestShift &&
           ledgerLinesAt(clef, position - shift * kStepsPerOctave) < -kMostLedgerLines)
        --shift;
    return shift;
}

}  // namespace halvorn

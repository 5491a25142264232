#include "engine/staff_plan.h"

#include <algorithm>

#include "midi/general_midi.h"

namespace halvorn {
namespace {

// A written note from G3 up reads on a treble staff, one up to E4 on a bass
// staff, each within three ledger lines.
constexpr std::int32_t kLowestTreble = 55;
constexpr std::int32_t kHighestBass = 64;
// Octaves 0 to 9: C0 is MIDI 12, B9 would be 131.
constexpr std::int32_t kLowestWritable = 12;
constexpr std::int32_t kHighestWritable = 131;

bool isGrandStaffInstrument(std::int32_t program) {
    return program <= 8                         // pianos, harpsichord, clavinet, celesta
           || (program >= 16 && program <= 21)  // organs, accordion
           || program == 46;                    // harp
}

bool isBassClefInstrument(std::int32_t program) {
    return (program >= 32 && program <= 39)   // basses
           || program == 42 || program == 43  // cello, contrabass
           || program == 47                   // timpani
           || program == 57 || program == 58  // trombone, tuba
           || program == 70;                  // bassoon
}

std::int32_t floorDiv(std::int32_t a, std::int32_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

std::int32_t instrumentOctaveChange(std::int32_t program) {
    switch (program) {
        case 8:   // celesta
        case 13:  // xylophone
        case 72:  // piccolo
            return 1;
        case 9:  // glockenspiel
            return 2;
        default:
            break;
    }
    if (program >= 24 && program <= 31) return -1;  // guitars
    if (program >= 32 && program <= 37) return -1;  // acoustic and electric basses
    if (program == 43) return -1;                   // contrabass
    return 0;
}

StaffPlan planStaves(std::int32_t program, bool percussion, std::int32_t lowest,
                     std::int32_t highest) {
    if (percussion) return {.staves = 1, .clefs = {Clef::kPercussion, Clef::kPercussion}};
    StaffPlan plan;
    plan.octaveChange = instrumentOctaveChange(program);
    const bool bassHome = isBassClefInstrument(program);
    const Clef home = bassHome ? Clef::kBass : Clef::kTreble;
    plan.clefs = {home, Clef::kBass};
    if (lowest > highest) return plan;
    const auto fitting = fittingOctaveChange(plan.octaveChange, lowest, highest);
    if (fitting) plan.octaveChange = *fitting;
    const std::int32_t low = lowest - 12 * plan.octaveChange;
    const std::int32_t high = highest - 12 * plan.octaveChange;
    // Treble when the notes reach middle C and none lies below G3; bass when
    // none lies above E4 and either some lie below G3 or none reaches
    // middle C.
    const bool treble = low >= kLowestTreble && high >= kMiddleC;
    const bool bass = high <= kHighestBass && (low < kLowestTreble || high < kMiddleC);
    if (isGrandStaffInstrument(program)) {
        // Notes at both ends of the MIDI range change the transposition
        // from note to note, which a single voice carries best.
        if (treble || bass || !fitting) {
            plan.clefs[0] = bass ? Clef::kBass : Clef::kTreble;
        } else {
            plan.staves = 2;
            plan.clefs = {Clef::kTreble, Clef::kBass};
        }
        return plan;
    }
    // A bass instrument reads treble only where it never goes below middle
    // C; another instrument reads bass only where bass suits it better.
    if (bassHome && low >= kMiddleC) plan.clefs[0] = Clef::kTreble;
    if (!bassHome && bass) plan.clefs[0] = Clef::kBass;
    return plan;
}

std::optional<std::int32_t> fittingOctaveChange(std::int32_t preferred, std::int32_t lowest,
                                                std::int32_t highest) {
    // written = sounding - 12 * change must stay inside the writable octaves.
    const std::int32_t most = floorDiv(lowest - kLowestWritable, 12);
    const std::int32_t least = -floorDiv(kHighestWritable - highest, 12);
    if (least > most) return std::nullopt;
    return std::clamp(preferred, least, most);
}

}  // namespace halvorn

#include "engine/pitch_spelling.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>

namespace halvorn {
namespace {

constexpr std::array<char, 7> kSteps = {'C', 'D', 'E', 'F', 'G', 'A', 'B'};
constexpr std::array<std::int32_t, 7> kStepPitchClass = {0, 2, 4, 5, 7, 9, 11};
// Steps in the order a key signature adds sharps; flats go the other way.
constexpr std::array<std::int32_t, 7> kSharpOrder = {3, 0, 4, 1, 5, 2, 6};  // F C G D A E B

// The alteration the signature gives each step.
std::array<std::int32_t, 7> signatureAlters(std::int32_t fifths) {
    std::array<std::int32_t, 7> alters{};
    const std::int32_t count = std::min(std::abs(fifths), 7);
    for (std::int32_t k = 0; k < count; ++k) {
        if (fifths > 0)
            alters[static_cast<std::size_t>(kSharpOrder[static_cast<std::size_t>(k)])] = 1;
        else
            alters[static_cast<std::size_t>(kSharpOrder[static_cast<std::size_t>(6 - k)])] = -1;
    }
    return alters;
}

std::int32_t pitchClassOf(std::int32_t step, std::int32_t alter) {
    return ((kStepPitchClass[static_cast<std::size_t>(step)] + alter) % 12 + 12) % 12;
}

// The step and alteration `pitchClass` is written as.
std::pair<std::int32_t, std::int32_t> nameOf(std::int32_t pitchClass, std::int32_t fifths) {
    const auto alters = signatureAlters(fifths);
    for (std::int32_t step = 0; step < 7; ++step)
        if (pitchClassOf(step, alters[static_cast<std::size_t>(step)]) == pitchClass)
            return {step, alters[static_cast<std::size_t>(step)]};
    for (std::int32_t step = 0; step < 7; ++step)
        if (kStepPitchClass[static_cast<std::size_t>(step)] == pitchClass) return {step, 0};
    for (std::int32_t step = 0; step < 7; ++step) {
        const std::int32_t alter = fifths < 0 ? -1 : 1;
        if (pitchClassOf(step, alter) == pitchClass) return {step, alter};
    }
    return {0, 0};  // not reached: every pitch class has a name above
}

}  // namespace

SpelledPitch spellPitch(std::int32_t note, std::int32_t fifths) {
    return KeySpelling(fifths).spell(note);
}

KeySpelling::KeySpelling(std::int32_t fifths) {
    for (std::int32_t pitchClass = 0; pitchClass < 12; ++pitchClass) {
        const auto [step, alter] = nameOf(pitchClass, fifths);
        classes_[static_cast<std::size_t>(pitchClass)] = {kSteps[static_cast<std::size_t>(step)],
                                                          alter, 0};
    }
}

SpelledPitch KeySpelling::spell(std::int32_t note) const {
    SpelledPitch pitch = classes_[static_cast<std::size_t>(((note % 12) + 12) % 12)];
    // B sharp belongs to the octave below its sounding C, C flat above.
    const std::int32_t natural = note - pitch.alter;
    pitch.octave = (natural >= 0 ? natural / 12 : (natural - 11) / 12) - 1;
    return pitch;
}

}  // namespace halvorn

#pragma once
// Note names for notation: a MIDI note spelled in a key signature. Notes of
// the key take its own names (B flat in F major, E sharp in F sharp major);
// other white keys stay natural; other black keys are sharps in sharp keys
// and flats in flat keys (sharps in C, as keyboard players read them).

#include <array>
#include <cstdint>

namespace halvorn {

struct SpelledPitch {
    char step = 'C';          // 'A' .. 'G'
    std::int32_t alter = 0;   // -1 flat, 0 natural, +1 sharp
    std::int32_t octave = 4;  // middle C (note 60) is C4
    bool operator==(const SpelledPitch&) const = default;
};

// `note` (0..127) in the key with `fifths` sharps (negative: flats), -7..7.
SpelledPitch spellPitch(std::int32_t note, std::int32_t fifths);

// The same for many notes of one key: the names of the twelve pitch
// classes worked out once.
class KeySpelling {
  public:
    explicit KeySpelling(std::int32_t fifths);
    SpelledPitch spell(std::int32_t note) const;

  private:
    std::array<SpelledPitch, 12> classes_{};  // octave unused
};

}  // namespace halvorn

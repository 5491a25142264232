#pragma once
// Which staves and clefs a part is written on, from its General MIDI
// program and where its notes lie: a grand staff for keyboards and the harp
// only (and only when the notes need both clefs), the bass clef for bass
// instruments (basses, cello, contrabass, bassoon, trombone, tuba,
// timpani), the treble clef otherwise; either single clef gives way to the
// other when every note sits well on that one. Octave-transposing
// instruments (piccolo, celesta, glockenspiel, xylophone, guitars, basses,
// contrabass) are written an octave or two from where they sound. The
// percussion channel gets a percussion staff. A part whose notes span more
// than MusicXML's ten octaves changes its transposition as it goes
// (fittingOctaveChange) and stays on one staff.

#include <array>
#include <cstdint>
#include <optional>

namespace halvorn {

enum class Clef : std::uint8_t { kTreble, kBass, kPercussion };

struct StaffPlan {
    std::int32_t staves = 1;  // 2: a grand staff, notes below middle C on the lower
    std::array<Clef, 2> clefs{Clef::kTreble, Clef::kBass};
    // The written notes sound this many octaves higher (negative: lower).
    std::int32_t octaveChange = 0;
    bool operator==(const StaffPlan&) const = default;
};

// The octaves an instrument sounds above its written notes.
std::int32_t instrumentOctaveChange(std::int32_t program);

// The staves of a part of `program` (0..127) whose sounding notes lie in
// [lowest, highest]; lowest > highest for a part without sounding notes.
StaffPlan planStaves(std::int32_t program, bool percussion, std::int32_t lowest,
                     std::int32_t highest);

// The octave change nearest `preferred` that writes every note of
// [lowest, highest] in octaves 0 to 9, which is all MusicXML can write
// (MIDI notes 0 to 11 lie in octave -1); none when the notes span more.
std::optional<std::int32_t> fittingOctaveChange(std::int32_t preferred, std::int32_t lowest,
                                                std::int32_t highest);

}  // namespace halvorn

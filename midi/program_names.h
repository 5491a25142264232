#pragma once
// The names of the 128 General MIDI programs, as the "Instrument:" list and
// the tools show them.

#include <array>
#include <string_view>

namespace halvorn {

inline constexpr int kGeneralMidiProgramCount = 128;

// Program 0 .. 127.
extern const std::array<std::string_view, kGeneralMidiProgramCount> kGeneralMidiProgramNames;

}  // namespace halvorn

#pragma once
// Tempo as the MIDI world counts it: microseconds per quarter note, from a
// tempo in quarter notes per minute. Every consumer (the MIDI file, the
// playback stream, the audio export, the position display) converts here.

#include <cstdint>
#include <optional>

namespace halvorn {

inline constexpr double kMicrosecondsPerMinute = 60000000.0;

// The largest value the 24 bits of a MIDI file's set-tempo event hold.
inline constexpr std::uint32_t kMaxSmfMicrosecondsPerQuarter = 0xFFFFFF;

// trunc(60,000,000 / tempo). Nothing for a tempo that is not a positive
// finite number, or whose quotient is below 1 or beyond 32 bits.
std::optional<std::uint32_t> microsecondsPerQuarter(double tempo);

// The same held to a set-tempo event's range: 1 for a tempo too fast to
// express, kMaxSmfMicrosecondsPerQuarter for one too slow, zero, negative or
// not a number.
std::uint32_t smfMicrosecondsPerQuarter(double tempo);

}  // namespace halvorn

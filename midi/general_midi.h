#pragma once
// Numbers of the MIDI and General MIDI standards the program uses by name.

#include <cstdint>

namespace halvorn {

inline constexpr std::uint8_t kMaxDataValue = 127;        // a 7-bit data byte
inline constexpr std::uint8_t kPercussionChannel = 9;     // channel 10 as users count
inline constexpr std::uint8_t kClosedHiHatNote = 42;      // on the percussion channel
inline constexpr std::int32_t kMiddleC = 60;              // note number of C4
inline constexpr std::uint8_t kDefaultTrackVolume = 100;  // controller 7 at power-on
inline constexpr std::uint8_t kCentrePan = 64;            // controller 10, centre
inline constexpr std::uint8_t kNoteOnStatus = 0x90;       // | channel

}  // namespace halvorn

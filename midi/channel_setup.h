#pragma once
// The instruments a song asks for: each used track's program, volume and
// pan on its channel. The built-in synthesizer is set up from them before a
// song plays, without any message; ports and files receive them only as
// the opt-in set-up events.

#include <array>
#include <cstdint>

#include "midi/general_midi.h"
#include "midi/midi_song.h"

namespace halvorn {

inline constexpr std::uint8_t kControllerVolume = 7;
inline constexpr std::uint8_t kControllerPan = 10;
inline constexpr std::uint8_t kProgramChangeStatus = 0xC0;  // | channel
inline constexpr std::uint8_t kControlChangeStatus = 0xB0;  // | channel

struct MidiChannelVoice {
    std::uint8_t channel = 0;  // 0..15
    std::uint8_t program = 0;  // General MIDI program 0..127
    std::uint8_t volume = kDefaultTrackVolume;
    std::uint8_t pan = kCentrePan;
    bool operator==(const MidiChannelVoice&) const = default;
};

// Indexed by channel.
using MidiChannelSetup = std::array<MidiChannelVoice, kMidiTrackSlots>;

// Every channel's voice for `song`: that of the last used track in slot
// order on the channel (as when the set-up events of every track play in
// slot order), and General MIDI's power-on voice (program 0, volume 100,
// centre) where no used track plays, so nothing of an earlier song stays.
MidiChannelSetup midiSongChannelSetup(const MidiSong& song);

// Puts a program change, controller 7 (volume) and controller 10 (pan) on
// the track's channel at tick 0, ahead of the events, into every used
// track, and recounts the song's events. kOk, or kOutOfMemory with the song
// unchanged.
MidiResult midiSongAddChannelSetupEvents(MidiSong& song);

}  // namespace halvorn

#pragma once
// The key signature a rendered song carries into its MIDI file: the count of
// sharps (positive) or flats (negative) of the song's key, and its mode.

#include <cstdint>

#include "midi/midi_song.h"
#include "model/scale.h"

namespace halvorn {

struct KeySignature {
    std::int8_t sharps = 0;  // -7..7
    std::uint8_t minor = 0;  // 0 major, 1 minor
    bool operator==(const KeySignature&) const = default;
};

// The signature of `scale`: a minor key's for the Minor interval table, a
// major key's for every other table (Chromatic, Major, Pentatonic, none).
// A key outside 0..11 counts as its pitch class.
KeySignature keySignatureOf(const Scale& scale);

// Stores keySignatureOf(scale) into the song's keySharps and keyMinor.
void midiSongSetKeySignature(MidiSong& midi, const Scale& scale);

}  // namespace halvorn

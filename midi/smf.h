#pragma once
// Standard MIDI File (format 1) writer and reader for MidiSong.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "midi/midi_song.h"

namespace halvorn {

// Largest value a variable-length quantity holds in four bytes.
inline constexpr std::uint32_t kMaxVlqValue = 0x0FFFFFFF;

// The file bytes of `song`: header, conductor track (texts, tempo, time and
// key signature), then one track per used slot with running status.
// Returns 0, 6 for no song, 3 when no slot has events, 1 when the song cannot
// be expressed in the format (an event with a data byte for a status, or a
// delta or text longer than a four-byte VLQ holds), 7 when memory ran out.
MidiResult midiSongEncode(const MidiSong* song, std::vector<std::uint8_t>& bytes);

// Fills `song` from file bytes. On any code but 0 the song is left exactly as
// it was: 1 malformed or truncated, 2 a format other than 1, 3 zero tracks,
// 6 no song, 7 memory ran out.
MidiResult midiSongDecode(std::span<const std::uint8_t> bytes, MidiSong* song);

// midiSongEncode into a file, replaced atomically; 4 when it cannot be
// created or written (nothing is left behind and an existing file is kept).
MidiResult midiSongWriteFile(const std::string& path, const MidiSong* song);

// midiSongDecode of a file; 4 when it cannot be opened or read.
MidiResult midiSongReadFile(const std::string& path, MidiSong* song);

}  // namespace halvorn

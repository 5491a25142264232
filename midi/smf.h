#pragma once
// Standard MIDI File (format 1) writer and reader for MidiSong.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "midi/midi_song.h"
#include "model/error.h"
#include "model/expected.h"

namespace halvorn {

// Largest value a variable-length quantity holds in four bytes.
inline constexpr std::uint32_t kMaxVlqValue = 0x0FFFFFFF;

// The file bytes of `song`: header, conductor track (texts, tempo, time and
// key signature), then one track per used slot with running status.
// kOk; kNoSong; kNothingToDo when no slot has events; kNotSmf when the song
// cannot be expressed in the format (an event with a data byte for a status
// or a status byte for data, a delta or text longer than a four-byte VLQ
// holds); kOutOfMemory. So no file is ever written that a reader would take
// a step out of line.
MidiResult midiSongEncode(const MidiSong* song, std::vector<std::uint8_t>& bytes);

// Fills `song` from file bytes. On any other result than kOk the song is
// left exactly as it was: kNotSmf malformed or truncated, kUnsupportedFormat
// a format other than 1, kNothingToDo zero tracks, kNoSong, kOutOfMemory.
MidiResult midiSongDecode(std::span<const std::uint8_t> bytes, MidiSong* song);

// midiSongEncode into a file through writeFileSafely; kCannotOpen when it
// cannot be created or written (a regular file is never left half-written
// and an existing one is kept).
MidiResult midiSongWriteFile(const std::string& path, const MidiSong* song);

// midiSongWriteFile as "Save MIDI" and halvorn-cli report it: "Unable to
// save MIDI file." with `path` and the reason (no notes, the system's).
Expected<void, Error> midiSongSave(const std::string& path, const MidiSong& song);

// midiSongDecode of a file; kCannotOpen when it cannot be opened or read.
MidiResult midiSongReadFile(const std::string& path, MidiSong* song);

// midiSongReadFile as a message tells it: "Unable to read MIDI file." with
// `path` and the reason, the system's or what is wrong inside the file with
// the offset of the byte ("Damaged MIDI file: byte 150 (0x81) stands where a
// data byte belongs"). A data byte of 0x80 or more is not MIDI: the file is
// refused as damaged rather than read with its events guessed. The song is
// left as it was on failure.
Expected<void, Error> midiSongLoad(const std::string& path, MidiSong& song);

}  // namespace halvorn

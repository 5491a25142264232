#pragma once
// Stems: a song's sound split by track into WAV files that a mixing
// program lines up and that add up to the song's export. One synthesizer
// plays the whole song with an output of its own for each track, so every
// note sounds exactly as in exportSongAudio (synthesizers of their own
// would each give a note's first moments a little differently, depending
// on which notes sounded before it there).

#include <string>

#include "midi/audio_export_progress.h"
#include "midi/io/audio_export.h"
#include "midi/midi_song.h"
#include "model/error.h"
#include "model/expected.h"

namespace halvorn {

// Writes into `folder` (made when it is not there) one stereo WAV of every
// track of `song` that has notes, named by trackFileName ("00-Bass.wav"):
// all as long as the piece and its tail, sample-aligned, with 24-bit
// samples so that their rounding stays far below a 16-bit file's. Levelled
// together: one gain for all, the one that puts their mix at
// kExportPeakDbfs as exportSongAudio does (with options.gain, that gain for
// all and nothing measured). With a `mixPath`, the 16-bit mix of them is
// written there too. A track that shares its MIDI channel with another
// sounds with that channel's instrument, as in the mix. On failure "Unable
// to export audio." with the file or folder and the reason, and none of
// the files is left.
Expected<void, Error> exportSongStems(const MidiSong& song, const std::string& folder,
                                      const AudioExportOptions& options,
                                      const AudioExportProgress& progress,
                                      const std::string& mixPath = {});

}  // namespace halvorn

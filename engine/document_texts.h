#pragma once
// The texts a rendered piece carries into a MIDI file.

#include "midi/midi_song.h"
#include "model/document.h"

namespace halvorn {

// The document's title, author and comments as the song's title, copyright
// and comments, each only when it is not empty; the others are left unset.
void midiSongSetDocumentTexts(MidiSong& midi, const Document& document);

}  // namespace halvorn

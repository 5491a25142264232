#include "engine/document_texts.h"

namespace halvorn {

void midiSongSetDocumentTexts(MidiSong& midi, const Document& document) {
    midi.title.reset();
    midi.copyright.reset();
    midi.comments.reset();
    if (!document.title.empty()) midi.title = document.title;
    if (!document.author.empty()) midi.copyright = document.author;
    if (!document.comments.empty()) midi.comments = document.comments;
}

}  // namespace halvorn

#pragma once
// What can go wrong while a song or a block is rendered. The engine only
// reports it; the pages and halvorn-cli choose the words the user sees.

namespace halvorn {

enum class RenderError {
    kNotesOutOfMemory,   // a block gave no notes, or a track's could not be held
    kEventsOutOfMemory,  // the MIDI events of a track could not be held
};

}  // namespace halvorn

#pragma once
// What can go wrong while a song or a block is rendered. The engine only
// reports it; the pages and halvorn-cli choose the words the user sees.

namespace halvorn {

enum class RenderError {
    kNotesOutOfMemory,   // a block gave no notes, or a track's could not be held
    kEventsOutOfMemory,  // the MIDI events of a track could not be held
};

// What the user is told.
inline const char* renderErrorText(RenderError error) {
    return error == RenderError::kNotesOutOfMemory
               ? "Unable to generate MIDI data. Not enough memory."
               : "Not enough memory to generate MIDI data.";
}

}  // namespace halvorn

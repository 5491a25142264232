#include "engine/render_error.h"

namespace halvorn {

Error renderError(ErrorCode code) {
    switch (code) {
        case ErrorCode::kNotesOutOfMemory:
            return errorOf(code, "Unable to generate MIDI data. Not enough memory.");
        case ErrorCode::kMelodySequence:
            return errorOf(code, "Not enough memory to calculate the melody sequence.");
        case ErrorCode::kVelocitySequence:
            return errorOf(code, "Not enough memory to calculate the velocity sequence.");
        default:
            return errorOf(code, "Not enough memory to generate MIDI data.");
    }
}

}  // namespace halvorn

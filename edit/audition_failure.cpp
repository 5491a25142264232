#include "edit/audition_failure.h"

namespace halvorn {

AuditionFailure auditionFailure(ErrorCode code) {
    switch (code) {
        case ErrorCode::kMelodySequence:
            return {"Not enough memory to calculate the melody sequence.", true};
        case ErrorCode::kVelocitySequence:
            return {"Not enough memory to calculate the velocity sequence.", true};
        case ErrorCode::kNotesOutOfMemory:
            return {"Unable to generate MIDI data. Not enough memory.", true};
        default:
            return {"Not enough memory to generate MIDI data.", false};
    }
}

}  // namespace halvorn

#pragma once
// What the Blocks page tells the user when a block cannot be rendered for
// "Listen", and whether the audition ends or plays what could be made.

#include "model/error.h"

namespace halvorn {

struct AuditionFailure {
    const char* message;
    bool endsAudition;  // false: the track that could not be held stays empty
};

AuditionFailure auditionFailure(ErrorCode code);

}  // namespace halvorn

#pragma once
// What can go wrong while a song or a block is rendered, with the words the
// user is told. The pages and halvorn-cli may choose other words where they
// know more (which sequence, which block).

#include "model/error.h"

namespace halvorn {

// kNotesOutOfMemory, kEventsOutOfMemory, kMelodySequence, kVelocitySequence,
// kBlockTrack or kMetronomeTrack, with its message.
Error renderError(ErrorCode code);

}  // namespace halvorn

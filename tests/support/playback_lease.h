#pragma once
// Keeps the lease a prepare hands back in `lease` (releasing the one it
// held), and tells how the prepare went.

#include <utility>

#include "midi/playback.h"

namespace halvorn::test {

inline MidiStatus keep(PlaybackLease& lease, PlaybackPrepared prepared) {
    if (!prepared) return unexpected(prepared.error());
    lease = std::move(*prepared);
    return {};
}

}  // namespace halvorn::test

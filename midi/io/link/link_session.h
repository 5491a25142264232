#pragma once
// Following a Link session: its tempo, its beat (phase-aligned on a quantum
// of the song's beats per measure) and its start and stop. Play starts at
// the session's next quantum boundary; a session we are alone in takes the
// song's tempo.

#include <memory>

#include "midi/clock_source.h"
#include "model/error.h"
#include "model/expected.h"

namespace halvorn {

// Joins the session on this machine's network.
Expected<std::shared_ptr<ClockSource>, Error> openLinkSession(const ClockSourceSong& song);

}  // namespace halvorn

#pragma once
// The clocks playback can follow on a JACK server: MIDI clock arriving on a
// JACK MIDI port (stamped with its frame's time), and the JACK transport
// itself (rolling, stopped, relocated; the timebase master's tempo, or the
// song's when there is none), which we can also lead as timebase master.

#include <memory>
#include <string>
#include <vector>

#include "midi/clock_source.h"
#include "model/error.h"
#include "model/expected.h"

namespace halvorn {

// MIDI clock from `port` ("client:port", a JACK MIDI output port).
Expected<std::shared_ptr<ClockSource>, Error> openJackMidiClock(const std::string& port,
                                                                double tempo);

// The JACK transport; with `timebaseMaster` our bar, beat and tempo are
// published to the other clients (unless another master insists).
Expected<std::shared_ptr<ClockSource>, Error> openJackTransport(bool timebaseMaster,
                                                                const ClockSourceSong& song);

}  // namespace halvorn

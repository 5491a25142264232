#pragma once
// MIDI clock from an ALSA sequencer port, through RtMidi: its input reads
// the sequencer's event timestamps (queue time), so the times handed to the
// follower are the sequencer's, put on the steady clock by the smallest
// delay seen between an event's stamp and its arrival here.

#include <memory>
#include <string>
#include <vector>

#include "midi/clock_source.h"
#include "model/error.h"
#include "model/expected.h"

namespace halvorn {

// The ALSA sequencer's ports that give output, by the names RtMidi gives.
std::vector<std::string> rtMidiAlsaInputPortNames();

Expected<std::shared_ptr<ClockSource>, Error> openAlsaMidiClock(const std::string& port,
                                                                double tempo);

}  // namespace halvorn

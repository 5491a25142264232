#pragma once
// The system's MIDI ports, listed again and again (to follow ports that come
// and go) through clients kept open between lists: making a client per list
// would cost far more than asking one, and JACK would show each to every
// other program. A system that cannot be asked is tried again on the next
// list, so a JACK server started later shows its ports then. One thread at a
// time.

#include <RtMidi.h>

#include <memory>
#include <vector>

#include "midi/io/jack/jack_watch.h"
#include "midi/io/rtmidi/rtmidi_output.h"

namespace halvorn {

class RtMidiPortLister {
  public:
    RtMidiPortLister();
    ~RtMidiPortLister();
    RtMidiPortLister(const RtMidiPortLister&) = delete;
    RtMidiPortLister& operator=(const RtMidiPortLister&) = delete;

    // The same ports, in the same order and with the same names and labels,
    // as rtMidiListOutputPorts() would give.
    RtMidiPortList list();

  private:
    struct Client {
        RtMidi::Api api;
        std::unique_ptr<RtMidiOut> out;  // null while its system does not answer
    };
    void listJack(RtMidiPortList& list);
    void listOther(Client& client, RtMidiPortList& list);

    std::vector<Client> clients_;
    std::unique_ptr<JackWatch> jack_;  // JACK's ports, without an active client
};

}  // namespace halvorn

#pragma once
// The system's MIDI ports, listed again and again (to follow ports that come
// and go) through clients kept open between lists: making a client per list
// would cost far more than asking one, and JACK would show each to every
// other program. A system that cannot be asked is tried again on later
// lists, so a JACK server started later shows its ports then.
//
// Reaching a JACK server takes tens of milliseconds, and failing to reach
// one a few, so the JACK client is made on a thread of its own, at most
// every kJackRetry after a failure; until it answers, the lists keep the
// JACK ports last seen. list() from one thread at a time.

#include <RtMidi.h>

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <vector>

#include "midi/io/jack/jack_watch.h"
#include "midi/io/rtmidi/rtmidi_output.h"

namespace halvorn {

class RtMidiPortLister {
  public:
    static constexpr std::chrono::seconds kJackRetry{5};

    // `seen`: the ports as last listed (rtMidiListOutputPorts() at start).
    explicit RtMidiPortLister(const RtMidiPortList& seen = {});
    // Waits for a JACK client still being made.
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
    void reachJack();
    void listOther(Client& client, RtMidiPortList& list);

    std::vector<Client> clients_;
    std::unique_ptr<JackWatch> jack_;  // JACK's ports, without an active client
    std::future<std::unique_ptr<JackWatch>> reaching_;
    std::optional<std::chrono::steady_clock::time_point> jackFailed_;
    std::vector<RtMidiPort> jackSeen_;  // told while the client is being made
    bool jackAnswered_ = false;
};

}  // namespace halvorn

#pragma once
// libjack (jackd2 1.9.21) crashes when it closes a client whose server has
// gone if, meanwhile, a jack_client_open of the same process failed. The
// port list is asked again every second and, while no server answers, tries
// to reach one, so those tries must never meet such a client: each output
// that keeps a JACK client while it plays holds a JackClientInUse, and the
// tries wait while any does; and the port list's own client, once its server
// has gone, is never closed (jack_watch.cpp). Process-wide, because libjack's
// state is.

namespace halvorn {

class JackClientInUse {
  public:
    JackClientInUse();
    ~JackClientInUse();
    JackClientInUse(const JackClientInUse&) = delete;
    JackClientInUse& operator=(const JackClientInUse&) = delete;
};

// True while any JackClientInUse exists. Any thread.
bool jackClientsInUse();

}  // namespace halvorn

#include "midi/io/rtmidi/rtmidi_port_lister.h"

#include <string>
#include <utility>

#include "midi/io/jack/jack_clients.h"

namespace halvorn {

RtMidiPortLister::RtMidiPortLister() {
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    for (RtMidi::Api api : apis) clients_.push_back({api, nullptr});
}

RtMidiPortLister::~RtMidiPortLister() = default;

RtMidiPortList RtMidiPortLister::list() {
    RtMidiPortList list;
    for (Client& client : clients_) {
        if (client.api == RtMidi::UNIX_JACK)
            listJack(list);
        else
            listOther(client, list);
    }
    return list;
}

// RtMidi's JACK client is activated to send; a watch of our own only asks.
// A server that has gone is looked for again only while no output keeps a
// client of it (jack_clients.h).
void RtMidiPortLister::listJack(RtMidiPortList& list) {
    if (jack_ && jack_->serverStopped()) jack_.reset();
    if (!jack_ && !jackClientsInUse()) jack_ = JackWatch::open();
    if (!jack_) {
        list.unavailable.push_back(rtMidiUnavailableNote(RtMidi::UNIX_JACK));
        return;
    }
    unsigned int index = 0;
    for (std::string& name : jack_->midiInputPorts())
        list.ports.push_back(rtMidiPortOf(RtMidi::UNIX_JACK, index++, std::move(name)));
}

void RtMidiPortLister::listOther(Client& client, RtMidiPortList& list) {
    if (!client.out) {
        std::string ignored;
        client.out = rtMidiClient(client.api, ignored);
    }
    if (!client.out) {
        list.unavailable.push_back(rtMidiUnavailableNote(client.api));
        return;
    }
    rtMidiAppendPorts(*client.out, client.api, list);
}

}  // namespace halvorn

#include "midi/io/rtmidi/rtmidi_port_lister.h"

#include <string>
#include <utility>

#include "midi/io/jack/jack_clients.h"
#include "midi/io/jack/jack_diagnostics.h"

namespace halvorn {

RtMidiPortLister::RtMidiPortLister(const RtMidiPortList& seen) {
    jackQuietClient();  // here, before a thread of ours reads the environment
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    for (RtMidi::Api api : apis) clients_.push_back({api, nullptr});
    for (const RtMidiPort& port : seen.ports)
        if (port.api == RtMidi::UNIX_JACK) jackSeen_.push_back(port);
    jackAnswered_ = !jackSeen_.empty();
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
void RtMidiPortLister::listJack(RtMidiPortList& list) {
    if (jack_ && jack_->serverStopped()) {
        jack_.reset();
        jackSeen_.clear();
        jackAnswered_ = false;
    }
    if (!jack_) reachJack();
    if (jack_) {
        jackSeen_.clear();
        unsigned int index = 0;
        for (std::string& name : jack_->midiInputPorts())
            jackSeen_.push_back(rtMidiPortOf(RtMidi::UNIX_JACK, index++, std::move(name)));
        jackAnswered_ = true;
    }
    if (!jackAnswered_) list.unavailable.push_back(rtMidiUnavailableNote(RtMidi::UNIX_JACK));
    list.ports.insert(list.ports.end(), jackSeen_.begin(), jackSeen_.end());
}

// A server that has gone is looked for again only while no output keeps a
// client of it (jack_clients.h).
void RtMidiPortLister::reachJack() {
    const auto now = std::chrono::steady_clock::now();
    if (reaching_.valid()) {
        if (reaching_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
        jack_ = reaching_.get();
        if (jack_) return;
        jackFailed_ = now;
        jackSeen_.clear();
        jackAnswered_ = false;
        return;
    }
    if (jackClientsInUse() || (jackFailed_ && now - *jackFailed_ < kJackRetry)) return;
    // A new client's first look at the ports takes as long as making it: made
    // there too.
    reaching_ = std::async(std::launch::async, [] {
        auto watch = JackWatch::open();
        if (watch) static_cast<void>(watch->midiInputPorts());
        return watch;
    });
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

#include "midi/io/jack/jack_watch.h"

#include "midi/io/jack/jack_diagnostics.h"

#if defined(HALVORN_HAVE_JACK)
#include <jack/jack.h>

#include <mutex>
#include <vector>
#endif

namespace halvorn {

#if defined(HALVORN_HAVE_JACK)

namespace {
constexpr const char* kWatchClientName = "Halvorn watch";

jack_client_t* jackClient(void* client) {
    return static_cast<jack_client_t*>(client);
}

// libjack can crash closing a client whose server has gone (jack_clients.h),
// so such a client is never closed: it stays, idle and reachable from here,
// for the life of the process. One per server that stopped while watched.
void keepDeadClient(jack_client_t* client) {
    static std::mutex guard;
    static std::vector<jack_client_t*> dead;
    const std::lock_guard lock(guard);
    dead.push_back(client);
}
}  // namespace

std::unique_ptr<JackWatch> JackWatch::open() {
    jackQuietClient();
    if (!jackServerMayAnswer()) return nullptr;
    jack_status_t status{};
    jack_client_t* client = jack_client_open(kWatchClientName, JackNoStartServer, &status);
    if (!client) return nullptr;
    std::unique_ptr<JackWatch> watch(new JackWatch(client));
    // Told on the client's own thread, also for a client never activated.
    jack_on_shutdown(client, &JackWatch::onShutdown, watch.get());
    return watch;
}

JackWatch::~JackWatch() {
    if (serverStopped()) {
        keepDeadClient(jackClient(client_));
    } else {
        jack_client_close(jackClient(client_));
    }
}

void JackWatch::onShutdown(void* self) {
    static_cast<JackWatch*>(self)->stopped_.store(true, std::memory_order_release);
}

bool JackWatch::portExists(const std::string& name) const {
    return !serverStopped() && jack_port_by_name(jackClient(client_), name.c_str()) != nullptr;
}

std::vector<std::string> JackWatch::midiInputPorts() const {
    return midiPorts(true);
}

std::vector<std::string> JackWatch::midiOutputPorts() const {
    return midiPorts(false);
}

std::vector<std::string> JackWatch::midiPorts(bool inputs) const {
    std::vector<std::string> names;
    if (serverStopped()) return names;
    const char** ports = jack_get_ports(jackClient(client_), nullptr, JACK_DEFAULT_MIDI_TYPE,
                                        inputs ? JackPortIsInput : JackPortIsOutput);
    for (const char** port = ports; port && *port; ++port) names.emplace_back(*port);
    jack_free(static_cast<void*>(ports));
    return names;
}

#else

std::unique_ptr<JackWatch> JackWatch::open() {
    return nullptr;
}
JackWatch::~JackWatch() = default;
void JackWatch::onShutdown(void*) {}
bool JackWatch::portExists(const std::string&) const {
    return false;
}
std::vector<std::string> JackWatch::midiInputPorts() const {
    return {};
}
std::vector<std::string> JackWatch::midiOutputPorts() const {
    return {};
}
std::vector<std::string> JackWatch::midiPorts(bool) const {
    return {};
}

#endif

}  // namespace halvorn

#include "midi/io/jack/jack_watch.h"

#include "midi/io/jack/jack_diagnostics.h"

#if defined(HALVORN_HAVE_JACK)
#include <jack/jack.h>
#endif

namespace halvorn {

#if defined(HALVORN_HAVE_JACK)

namespace {
constexpr const char* kWatchClientName = "Halvorn watch";

jack_client_t* jackClient(void* client) {
    return static_cast<jack_client_t*>(client);
}
}  // namespace

std::unique_ptr<JackWatch> JackWatch::open() {
    jackQuietClient();
    jack_status_t status{};
    jack_client_t* client = jack_client_open(kWatchClientName, JackNoStartServer, &status);
    if (!client) return nullptr;
    std::unique_ptr<JackWatch> watch(new JackWatch(client));
    // Told on the client's own thread, also for a client never activated.
    jack_on_shutdown(client, &JackWatch::onShutdown, watch.get());
    return watch;
}

JackWatch::~JackWatch() {
    jack_client_close(jackClient(client_));
}

void JackWatch::onShutdown(void* self) {
    static_cast<JackWatch*>(self)->stopped_.store(true, std::memory_order_release);
}

bool JackWatch::portExists(const std::string& name) const {
    return !serverStopped() && jack_port_by_name(jackClient(client_), name.c_str()) != nullptr;
}

std::vector<std::string> JackWatch::midiInputPorts() const {
    std::vector<std::string> names;
    if (serverStopped()) return names;
    const char** ports =
        jack_get_ports(jackClient(client_), nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
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

#endif

}  // namespace halvorn

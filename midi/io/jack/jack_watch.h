#pragma once
// A JACK client of its own, with no ports, that notices the server stopping
// and looks ports up by name: how an output on a JACK port learns that its
// destination has gone while it plays. Its calls may run on any one thread
// besides the one that made it.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace halvorn {

class JackWatch {
  public:
    // Null when no JACK server answers (or without JACK).
    static std::unique_ptr<JackWatch> open();
    ~JackWatch();
    JackWatch(const JackWatch&) = delete;
    JackWatch& operator=(const JackWatch&) = delete;

    bool serverStopped() const { return stopped_.load(std::memory_order_acquire); }
    // A port of that full name ("client:port") exists; false once the server
    // has stopped.
    bool portExists(const std::string& name) const;
    // Full names of the MIDI ports that take input (where an output can
    // send), in the server's order; none once the server has stopped.
    std::vector<std::string> midiInputPorts() const;
    // The same for the MIDI ports that give output (where MIDI clock can
    // come from), our own among them.
    std::vector<std::string> midiOutputPorts() const;

  private:
    explicit JackWatch(void* client) : client_(client) {}
    static void onShutdown(void* self);
    std::vector<std::string> midiPorts(bool inputs) const;

    void* client_;  // jack_client_t, kept out of this header
    std::atomic<bool> stopped_{false};
};

}  // namespace halvorn

// A JACK client that records every MIDI message reaching its input port
// with the JACK frame it arrived on, for the live playback checks and the
// JACK playback benchmark.
//
// Usage: jack_midi_capture CLIENT_NAME [MAX_SECONDS]
// Connects to the server JACK_DEFAULT_SERVER names (never starts one) and
// registers CLIENT_NAME:in. Prints "ready RATE PERIOD" once the port takes
// messages. On SIGTERM or SIGINT (or after MAX_SECONDS, 600 by default) it
// prints one line per message, "FRAME CYCLE PREVIOUS B0 [B1 [B2]]": the
// frame it arrived on, the times (microseconds on JACK's clock) this
// client's cycle began in the cycle that carried it and in the cycle
// before, and its bytes in hex; then "end COUNT DROPPED XRUNS", and exits. The
// times are taken when the cycle runs, not estimated from the frames: on
// a busy machine the server can fall behind, and its frame-time estimate
// smooths that away. A server that stops ends it
// with status 3. Its memory is locked where the system allows, so that a
// page fault never makes it miss a cycle.
#include <jack/jack.h>
#include <jack/midiport.h>
#include <sys/mman.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

namespace {

struct Captured {
    jack_nframes_t frame;
    jack_time_t cycleStart;
    jack_time_t previousCycleStart;
    std::uint8_t size;
    std::uint8_t bytes[3];
};

// Filled by the process callback only; read by main after deactivation.
struct Capture {
    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    std::vector<Captured> messages;  // sized once, before activation
    std::atomic<std::size_t> count{0};
    std::atomic<std::size_t> dropped{0};
    jack_time_t previousCycleStart = 0;  // process callback only
};

constexpr std::size_t kCapacity = std::size_t{1} << 18;

int process(jack_nframes_t frames, void* arg) {
    Capture& capture = *static_cast<Capture*>(arg);
    void* buffer = jack_port_get_buffer(capture.port, frames);
    const jack_time_t cycleStart = jack_get_time();
    const jack_time_t previousCycleStart = capture.previousCycleStart;
    capture.previousCycleStart = cycleStart;
    const jack_nframes_t firstFrame = jack_last_frame_time(capture.client);
    const std::uint32_t events = jack_midi_get_event_count(buffer);
    std::size_t count = capture.count.load(std::memory_order_relaxed);
    for (std::uint32_t i = 0; i < events; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0) continue;
        if (count == capture.messages.size()) {
            capture.dropped.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        Captured& m = capture.messages[count++];
        m.frame = firstFrame + event.time;
        m.cycleStart = cycleStart;
        m.previousCycleStart = previousCycleStart;
        m.size = static_cast<std::uint8_t>(event.size < 3 ? event.size : 3);
        for (std::uint8_t b = 0; b < m.size; ++b) m.bytes[b] = event.buffer[b];
    }
    capture.count.store(count, std::memory_order_release);
    return 0;
}

std::atomic<bool> serverStopped{false};
// Cycles in which some client of the server missed its deadline: the
// messages of such a cycle may be lost on the way.
std::atomic<unsigned> xruns{0};

int onXrun(void*) {
    xruns.fetch_add(1);
    return 0;
}

void onShutdown(void*) {
    serverStopped.store(true);
}

void printMessages(const Capture& capture) {
    const std::size_t count = capture.count.load(std::memory_order_acquire);
    for (std::size_t i = 0; i < count; ++i) {
        const Captured& m = capture.messages[i];
        std::printf("%u %llu %llu", m.frame, static_cast<unsigned long long>(m.cycleStart),
                    static_cast<unsigned long long>(m.previousCycleStart));
        for (std::uint8_t b = 0; b < m.size; ++b) std::printf(" %02x", m.bytes[b]);
        std::printf("\n");
    }
    std::printf("end %zu %zu %u\n", count, capture.dropped.load(), xruns.load());
    std::fflush(stdout);
}

// Waits for SIGTERM or SIGINT, the deadline, or the server's end.
void waitForStop(const sigset_t& signals, int maxSeconds) {
    const std::time_t deadline = std::time(nullptr) + maxSeconds;
    const timespec slice{0, 100 * 1000 * 1000};
    while (!serverStopped.load() && std::time(nullptr) < deadline)
        if (sigtimedwait(&signals, nullptr, &slice) > 0) return;
}

}  // namespace

// libjack's own messages would mix with the report on standard output.
void toStandardError(const char* message) {
    std::fprintf(stderr, "%s\n", message);
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: jack_midi_capture CLIENT_NAME [MAX_SECONDS]\n");
        return 2;
    }
    const int maxSeconds = argc > 2 ? std::atoi(argv[2]) : 600;
    // Blocked before JACK makes its threads, so they inherit it and only
    // sigtimedwait sees the signals.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    jack_set_error_function(toStandardError);
    jack_set_info_function(toStandardError);
    mlockall(MCL_CURRENT | MCL_FUTURE);
    auto capture = std::make_unique<Capture>();
    capture->messages.resize(kCapacity);  // paged in before the first cycle
    jack_status_t status{};
    capture->client = jack_client_open(argv[1], JackNoStartServer, &status);
    if (!capture->client) {
        std::fprintf(stderr, "jack_midi_capture: no JACK server (status 0x%x)\n", status);
        return 1;
    }
    capture->port =
        jack_port_register(capture->client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_on_shutdown(capture->client, onShutdown, nullptr);
    jack_set_xrun_callback(capture->client, onXrun, nullptr);
    if (!capture->port || jack_set_process_callback(capture->client, process, capture.get()) != 0 ||
        jack_activate(capture->client) != 0) {
        std::fprintf(stderr, "jack_midi_capture: cannot register or activate\n");
        jack_client_close(capture->client);
        return 1;
    }
    std::printf("ready %u %u\n", jack_get_sample_rate(capture->client),
                jack_get_buffer_size(capture->client));
    std::fflush(stdout);

    waitForStop(signals, maxSeconds);
    if (serverStopped.load()) {
        printMessages(*capture);
        return 3;
    }
    jack_deactivate(capture->client);
    printMessages(*capture);
    jack_client_close(capture->client);
    return 0;
}

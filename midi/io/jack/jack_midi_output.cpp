#include "midi/io/jack/jack_midi_output.h"

#include "midi/io/jack/jack_diagnostics.h"

#if defined(HALVORN_HAVE_JACK)
#include <jack/jack.h>
#include <jack/midiport.h>
#endif

#include <algorithm>
#include <cmath>
#include <thread>

namespace halvorn {

namespace {
// Ahead of its time a message reaches the port: more than the scheduler and
// JACK's cycles together are late on a busy machine (a message that misses
// its cycle lands a period late: with 3 ms, one clock in a hundred did while
// other programs built on both cores), little enough that a clock followed
// still refines the time of the notes it leads to.
constexpr std::chrono::nanoseconds kLead = std::chrono::milliseconds(10);
// How long closing waits for the messages still in the ring to be written.
constexpr auto kDrain = std::chrono::milliseconds(200);
}  // namespace

#if defined(HALVORN_HAVE_JACK)

namespace {

jack_client_t* jackClient(void* client) {
    return static_cast<jack_client_t*>(client);
}

std::int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

Expected<std::unique_ptr<JackMidiOutput>, Error> JackMidiOutput::open(
    const std::string& destination, const std::string& label) {
    jackQuietClient();
    const auto fail = [&](const std::string& why) {
        return unexpected(
            errorOf(ErrorCode::kDevice, "Cannot open the MIDI port " + label + ": " + why));
    };
    std::unique_ptr<JackMidiOutput> output(new JackMidiOutput());
    output->destination_ = destination;
    output->label_ = label;
    if (!jackServerMayAnswer()) return fail("no JACK server is running");
    jack_status_t status{};
    jack_client_t* client = jack_client_open("Halvorn", JackNoStartServer, &status);
    if (!client) return fail("no JACK server is running");
    output->client_ = client;
    jack_port_t* port =
        jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (!port) return fail("JACK refused a port");
    output->port_ = port;
    output->lead_ = kLead;
    jack_set_process_callback(client, &JackMidiOutput::process, output.get());
    jack_on_shutdown(client, &JackMidiOutput::shutdown, output.get());
    jack_set_latency_callback(
        client,
        [](jack_latency_callback_mode_t mode, void* self) {
            reportLatency(static_cast<int>(mode), self);
        },
        output.get());
    if (jack_activate(client) != 0) return fail("JACK would not run its client");
    if (!jack_port_by_name(client, destination.c_str()))
        return unexpected(errorOf(ErrorCode::kDevice, "The MIDI port " + label + " is gone."));
    if (jack_connect(client, jack_port_name(port), destination.c_str()) != 0)
        return fail("JACK would not connect to it");
    return output;
}

JackMidiOutput::~JackMidiOutput() {
    if (!client_) return;
    // libjack can crash closing a client whose server has gone (jack_clients.h).
    if (serverGone_.load()) return;
    // The last messages (the note-offs of a stop) go out with the next cycle
    // or two: they are waited for, a little.
    const auto deadline = std::chrono::steady_clock::now() + kDrain;
    while (!ring_.empty() && !serverGone_.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    jack_deactivate(jackClient(client_));
    jack_client_close(jackClient(client_));
}

void JackMidiOutput::send(MidiShortMessage message, std::chrono::nanoseconds due) {
    if (!ring_.push({message, due.count()})) dropped_.fetch_add(1, std::memory_order_relaxed);
}

std::chrono::nanoseconds JackMidiOutput::sendLead() const {
    return lead_;
}

std::string JackMidiOutput::lostReason() {
    if (serverGone_.load(std::memory_order_acquire))
        return "The JACK server has stopped; playback on " + label_ + " stopped.";
    if (!jack_port_by_name(jackClient(client_), destination_.c_str()))
        return "The MIDI port " + label_ + " is gone; playback stopped.";
    return {};
}

int JackMidiOutput::process(std::uint32_t frames, void* self) {
    static_cast<JackMidiOutput*>(self)->processCycle(frames);
    return 0;
}

// The port's output latency is one period: every message is written at its
// time's frame plus a period, so that it is never already past. Recorders
// that compensate latency put it back on its time.
void JackMidiOutput::reportLatency(int mode, void* self) {
    if (mode != JackPlaybackLatency) return;
    auto* output = static_cast<JackMidiOutput*>(self);
    const jack_nframes_t period = jack_get_buffer_size(jackClient(output->client_));
    jack_latency_range_t range{period, period};
    jack_port_set_latency_range(static_cast<jack_port_t*>(output->port_), JackPlaybackLatency,
                                &range);
}

void JackMidiOutput::shutdown(void* self) {
    static_cast<JackMidiOutput*>(self)->serverGone_.store(true, std::memory_order_release);
}

// The cycle writes frames [cycleFrame, cycleFrame + frames): a message goes
// at the frame its time falls on plus one period, in time order; one
// already past goes at the first free frame.
void JackMidiOutput::processCycle(std::uint32_t frames) {
    void* buffer = jack_port_get_buffer(static_cast<jack_port_t*>(port_), frames);
    jack_midi_clear_buffer(buffer);
    jack_nframes_t cycleFrame = 0;
    jack_time_t cycleUsecs = 0, nextUsecs = 0;
    float periodUsecs = 0;
    if (jack_get_cycle_times(jackClient(client_), &cycleFrame, &cycleUsecs, &nextUsecs,
                             &periodUsecs) != 0 ||
        nextUsecs <= cycleUsecs)
        return;
    // JACK's microseconds against the steady clock, read together.
    const double offsetUs = static_cast<double>(jack_get_time()) - steadyNanoseconds() / 1000.0;
    const double framesPerUs = static_cast<double>(frames) / (nextUsecs - cycleUsecs);
    std::uint32_t offset = 0;
    while (Timed* timed = ring_.front()) {
        const double dueUs = timed->dueNs / 1000.0 + offsetUs;
        const double frame = (dueUs - static_cast<double>(cycleUsecs)) * framesPerUs + frames;
        const double at = std::floor(frame + 0.5);
        if (at >= frames) break;  // a later cycle's
        offset = std::max(offset, at > 0 ? static_cast<std::uint32_t>(at) : 0u);
        const MidiShortMessage m = timed->message;
        const std::uint8_t status = midiMessageStatus(m);
        const std::uint8_t bytes[3] = {status, midiMessageData1(m), midiMessageData2(m)};
        const std::size_t size = 1 + static_cast<std::size_t>(midiDataByteCount(status));
        if (jack_midi_event_write(buffer, offset, bytes, size) != 0)
            dropped_.fetch_add(1, std::memory_order_relaxed);
        ring_.pop();
    }
}

#else

Expected<std::unique_ptr<JackMidiOutput>, Error> JackMidiOutput::open(const std::string&,
                                                                      const std::string& label) {
    return unexpected(
        errorOf(ErrorCode::kDevice, "Cannot open the MIDI port " + label + ": built without JACK"));
}
JackMidiOutput::~JackMidiOutput() = default;
void JackMidiOutput::send(MidiShortMessage, std::chrono::nanoseconds) {}
std::chrono::nanoseconds JackMidiOutput::sendLead() const {
    return lead_;
}
std::string JackMidiOutput::lostReason() {
    return {};
}
int JackMidiOutput::process(std::uint32_t, void*) {
    return 0;
}
void JackMidiOutput::shutdown(void*) {}
void JackMidiOutput::reportLatency(int, void*) {}
void JackMidiOutput::processCycle(std::uint32_t) {}

#endif

}  // namespace halvorn

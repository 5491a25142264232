#pragma once
// A JACK client of the test's own that plays a studio around Halvorn: it
// sends MIDI messages at given frames on its "clock" output (a master's
// MIDI clock), captures what reaches its "capture" input with the frame it
// arrived on, and notes for every cycle where the transport stood. For the
// clock-following tests and benchmark, on a server of their own
// (jack_test_server.h).

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/transport.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "midi/midi_song.h"

namespace halvorn::test {

struct RigMessage {
    std::int64_t frame = 0;  // from the rig's origin
    std::uint8_t bytes[3] = {0, 0, 0};
    std::uint8_t size = 1;
};

struct RigCaptured {
    jack_nframes_t frame = 0;  // absolute JACK frame
    std::uint8_t bytes[3] = {0, 0, 0};
    std::uint8_t size = 0;
};

struct RigCycle {
    jack_nframes_t frame = 0;           // the cycle's first frame
    jack_nframes_t transportFrame = 0;  // the transport's frame then
    bool rolling = false;
};

class JackSyncRig {
  public:
    explicit JackSyncRig(const char* name) {
        client_ = jack_client_open(name, JackNoStartServer, nullptr);
        if (!client_) return;
        clock_ = jack_port_register(client_, "clock", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        capture_ =
            jack_port_register(client_, "capture", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        captured_.resize(1 << 16);
        cycles_.resize(1 << 16);
        jack_set_process_callback(client_, &JackSyncRig::process, this);
        active_ = jack_activate(client_) == 0;
    }
    ~JackSyncRig() { close(); }
    void close() {
        if (client_) {
            jack_deactivate(client_);
            jack_client_close(client_);
        }
        client_ = nullptr;
    }
    JackSyncRig(const JackSyncRig&) = delete;
    JackSyncRig& operator=(const JackSyncRig&) = delete;

    bool ready() const { return active_ && clock_ && capture_; }
    jack_client_t* client() const { return client_; }
    std::string clockPort() const { return jack_port_name(clock_); }
    std::string capturePort() const { return jack_port_name(capture_); }
    jack_nframes_t rate() const { return jack_get_sample_rate(client_); }
    jack_nframes_t period() const { return jack_get_buffer_size(client_); }

    // Sends `messages` (sorted by frame), their frames counted from
    // `delay` frames after now.
    void send(std::vector<RigMessage> messages, jack_nframes_t delay) {
        messages_ = std::move(messages);
        next_.store(0);
        origin_.store(static_cast<std::int64_t>(jack_frame_time(client_)) + delay);
        sending_.store(true, std::memory_order_release);
    }
    std::int64_t origin() const { return origin_.load(); }
    bool sent() const { return next_.load() >= messages_.size(); }

    std::vector<RigCaptured> captured() const {
        const std::size_t n = capturedCount_.load(std::memory_order_acquire);
        return {captured_.begin(), captured_.begin() + static_cast<std::ptrdiff_t>(n)};
    }
    std::vector<RigCycle> cycles() const {
        const std::size_t n = cycleCount_.load(std::memory_order_acquire);
        return {cycles_.begin(), cycles_.begin() + static_cast<std::ptrdiff_t>(n)};
    }

  private:
    static int process(jack_nframes_t frames, void* self) {
        static_cast<JackSyncRig*>(self)->cycle(frames);
        return 0;
    }
    void cycle(jack_nframes_t frames) {
        const jack_nframes_t first = jack_last_frame_time(client_);
        jack_position_t position;
        const bool rolling = jack_transport_query(client_, &position) == JackTransportRolling;
        if (std::size_t c = cycleCount_.load(); c < cycles_.size()) {
            cycles_[c] = {first, position.frame, rolling};
            cycleCount_.store(c + 1, std::memory_order_release);
        }
        void* out = jack_port_get_buffer(clock_, frames);
        jack_midi_clear_buffer(out);
        if (sending_.load(std::memory_order_acquire)) {
            const std::int64_t origin = origin_.load();
            std::size_t i = next_.load();
            for (; i < messages_.size(); ++i) {
                const std::int64_t at = origin + messages_[i].frame - first;
                if (at >= frames) break;
                const auto offset = static_cast<jack_nframes_t>(at < 0 ? 0 : at);
                jack_midi_event_write(out, offset, messages_[i].bytes, messages_[i].size);
            }
            next_.store(i);
        }
        void* in = jack_port_get_buffer(capture_, frames);
        const std::uint32_t events = jack_midi_get_event_count(in);
        std::size_t count = capturedCount_.load();
        for (std::uint32_t e = 0; e < events && count < captured_.size(); ++e) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, in, e) != 0) continue;
            RigCaptured& m = captured_[count++];
            m.frame = first + event.time;
            m.size = static_cast<std::uint8_t>(event.size < 3 ? event.size : 3);
            for (std::uint8_t b = 0; b < m.size; ++b) m.bytes[b] = event.buffer[b];
        }
        capturedCount_.store(count, std::memory_order_release);
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* clock_ = nullptr;
    jack_port_t* capture_ = nullptr;
    bool active_ = false;
    std::vector<RigMessage> messages_;
    std::atomic<bool> sending_{false};
    std::atomic<std::int64_t> origin_{0};
    std::atomic<std::size_t> next_{0};
    std::vector<RigCaptured> captured_;
    std::atomic<std::size_t> capturedCount_{0};
    std::vector<RigCycle> cycles_;
    std::atomic<std::size_t> cycleCount_{0};
};

// The song the sync checks play: a note every sixteenth (a tick short of
// it, keys climbing through two octaves), `bars` bars of 4/4 at 120, at
// 96 ticks a quarter.
inline constexpr std::uint16_t kSixteenthsPpqn = 96;
inline MidiSong sixteenths(int bars) {
    constexpr std::uint32_t step = kSixteenthsPpqn / 4;
    MidiSong song;
    song.ppqn = kSixteenthsPpqn;
    song.tempo = 120.0;
    song.tracks[0].name = "Notes";
    for (std::uint32_t tick = 0; tick < static_cast<std::uint32_t>(bars) * 4 * kSixteenthsPpqn;
         tick += step) {
        const auto key = static_cast<std::uint8_t>(48 + tick / step % 24);
        song.tracks[0].events.push_back({tick, 0x90, key, 100});
        song.tracks[0].events.push_back({tick + step - 1, 0x90, key, 0});
    }
    midiSongCountEvents(song);
    midiSongComputeLength(song);
    return song;
}

}  // namespace halvorn::test

#include "midi/io/jack/jack_clock_sources.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "midi/io/jack/jack_clients.h"
#include "midi/io/jack/jack_diagnostics.h"
#include "midi/queued_clock_follower.h"
#include "midi/spsc_ring.h"
#include "midi/wake_signal.h"

#if defined(HALVORN_HAVE_JACK)
#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/transport.h>
#endif

namespace halvorn {

#if defined(HALVORN_HAVE_JACK)

namespace {

using std::chrono::nanoseconds;

std::int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Error jackError(const std::string& what) {
    return errorOf(ErrorCode::kDevice, what);
}

// The time of the cycle's frames on the steady clock: JACK's estimate of
// when its first frame is, and how many frames a microsecond.
struct CycleClock {
    jack_nframes_t firstFrame = 0;
    double firstUs = 0;  // on the steady clock
    double framesPerUs = 0;

    static bool read(jack_client_t* client, jack_nframes_t frames, CycleClock& clock) {
        jack_nframes_t first = 0;
        jack_time_t usecs = 0, next = 0;
        float period = 0;
        if (jack_get_cycle_times(client, &first, &usecs, &next, &period) != 0 || next <= usecs)
            return false;
        const double offsetUs = static_cast<double>(jack_get_time()) - steadyNanoseconds() / 1000.0;
        clock.firstFrame = first;
        clock.firstUs = static_cast<double>(usecs) - offsetUs;
        clock.framesPerUs = static_cast<double>(frames) / static_cast<double>(next - usecs);
        return true;
    }
    nanoseconds timeOfOffset(std::uint32_t offset) const {
        return nanoseconds(std::llround((firstUs + offset / framesPerUs) * 1000.0));
    }
};

// A client of its own, closed when it goes, unless its server has gone
// first (libjack can crash closing it then; jack_clients.h).
class JackClient {
  public:
    explicit JackClient(const char* name) {
        jackQuietClient();
        if (!jackServerMayAnswer()) return;
        jack_status_t status{};
        client_ = jack_client_open(name, JackNoStartServer, &status);
        if (client_) jack_on_shutdown(client_, &JackClient::gone, this);
    }
    ~JackClient() {
        if (!client_ || serverGone_.load()) return;
        jack_deactivate(client_);
        jack_client_close(client_);
    }
    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;
    jack_client_t* get() const { return client_; }

  private:
    static void gone(void* self) { static_cast<JackClient*>(self)->serverGone_.store(true); }
    JackClientInUse inUse_;
    jack_client_t* client_ = nullptr;
    std::atomic<bool> serverGone_{false};
};

// ---- MIDI clock on a JACK port ----------------------------------------------

class JackMidiClock final : public QueuedMidiClockFollower {
  public:
    explicit JackMidiClock(double tempo)
        : QueuedMidiClockFollower(tempo), client_("Halvorn clock") {}
    ~JackMidiClock() override {
        if (client_.get()) jack_deactivate(client_.get());
        stopWorker();
    }

    Expected<void, Error> connect(const std::string& source) {
        jack_client_t* client = client_.get();
        if (!client) return unexpected(jackError("No JACK server is running."));
        port_ = jack_port_register(client, "clock in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        if (!port_) return unexpected(jackError("JACK refused a port for MIDI clock."));
        jack_set_process_callback(client, &JackMidiClock::process, this);
        if (jack_activate(client) != 0)
            return unexpected(jackError("JACK would not run its client."));
        if (jack_connect(client, source.c_str(), jack_port_name(port_)) != 0)
            return unexpected(jackError("The MIDI port " + source + " (JACK) cannot be followed."));
        return {};
    }

  private:
    static int process(jack_nframes_t frames, void* self) {
        static_cast<JackMidiClock*>(self)->cycle(frames);
        return 0;
    }
    // Each message is stamped with the time of its own frame.
    void cycle(jack_nframes_t frames) {
        void* buffer = jack_port_get_buffer(port_, frames);
        const std::uint32_t count = jack_midi_get_event_count(buffer);
        if (count == 0) return;
        CycleClock clock;
        if (!CycleClock::read(client_.get(), frames, clock)) return;
        for (std::uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0) continue;
            const std::uint8_t status = event.buffer[0];
            if (!isClockFollowerMessage(status)) continue;
            const std::uint8_t d1 = event.size > 1 ? event.buffer[1] : 0;
            const std::uint8_t d2 = event.size > 2 ? event.buffer[2] : 0;
            static_cast<void>(push(status, d1, d2, clock.timeOfOffset(event.time)));
        }
    }

    JackClient client_;
    jack_port_t* port_ = nullptr;
};

// ---- the JACK transport -----------------------------------------------------

class JackTransport final : public ClockSource {
  public:
    JackTransport(bool master, const ClockSourceSong& song)
        : client_("Halvorn transport"), master_(master) {
        setSong(song);
    }
    ~JackTransport() override {
        if (client_.get()) {
            if (master_) jack_release_timebase(client_.get());
            jack_deactivate(client_.get());
        }
        stopping_.store(true);
        wake_.notify();
        if (worker_.joinable()) worker_.join();
    }

    Expected<void, Error> run() {
        jack_client_t* client = client_.get();
        if (!client) return unexpected(jackError("No JACK server is running."));
        jack_set_process_callback(client, &JackTransport::process, this);
        if (master_ && jack_set_timebase_callback(client, 1, &JackTransport::timebase, this) != 0)
            return unexpected(jackError("Another JACK client is the timebase master."));
        worker_ = std::thread([this] { work(); });
        if (jack_activate(client) != 0)
            return unexpected(jackError("JACK would not run its client."));
        return {};
    }

    void play(const ClockSourceSong& song) override {
        setSong(song);
        armed_.store(true);
        startPending_.store(true);
        wake_.notify();
    }
    void stop() override { armed_.store(false); }

  private:
    struct Cycle {
        bool rolling = false;
        double beat = 0;          // quarter notes at the cycle's first frame
        double tempo = 0;         // quarter notes a minute
        std::int64_t timeNs = 0;  // of the cycle's first frame
        double beatsPerCycle = 0;
    };

    void setSong(const ClockSourceSong& song) {
        songTempo_.store(song.tempo > 0 ? song.tempo : 120.0);
        beatsPerBar_.store(song.beatsPerMeasure > 0 ? song.beatsPerMeasure : 4);
    }

    static int process(jack_nframes_t frames, void* self) {
        static_cast<JackTransport*>(self)->cycle(frames);
        return 0;
    }

    // Where the transport stands at this cycle, in quarter notes: from the
    // timebase master's bar, beat and tick, or from the frame and our tempo.
    void cycle(jack_nframes_t frames) {
        jack_position_t position;
        const jack_transport_state_t state = jack_transport_query(client_.get(), &position);
        CycleClock clock;
        if (!CycleClock::read(client_.get(), frames, clock)) return;
        Cycle c;
        c.rolling = state == JackTransportRolling;
        c.timeNs = clock.timeOfOffset(0).count();
        const double rate = position.frame_rate > 0 ? position.frame_rate : 48000.0;
        if ((position.valid & JackPositionBBT) != 0 && position.beats_per_minute > 0 &&
            position.beat_type > 0 && position.ticks_per_beat > 0) {
            const double quarter = 4.0 / position.beat_type;
            const double beats = (position.bar - 1) * static_cast<double>(position.beats_per_bar) +
                                 (position.beat - 1) + position.tick / position.ticks_per_beat;
            c.beat = beats * quarter;
            c.tempo = position.beats_per_minute * quarter;
        } else {
            c.tempo = songTempo_.load();
            c.beat = position.frame / rate * c.tempo / 60.0;
        }
        c.beatsPerCycle = frames / rate * c.tempo / 60.0;
        if (ring_.push(Cycle(c))) wake_.notify();
    }

    // Our bar, beat and tempo from the frame, as timebase master.
    static void timebase(jack_transport_state_t, jack_nframes_t, jack_position_t* position, int,
                         void* self) {
        auto* transport = static_cast<JackTransport*>(self);
        const double tempo = transport->songTempo_.load();
        const int beatsPerBar = transport->beatsPerBar_.load();
        const double rate = position->frame_rate > 0 ? position->frame_rate : 48000.0;
        const double beats = position->frame / rate * tempo / 60.0;
        const auto whole = static_cast<long long>(std::floor(beats));
        constexpr double kTicksPerBeat = 1920.0;
        position->valid = JackPositionBBT;
        position->beats_per_bar = static_cast<float>(beatsPerBar);
        position->beat_type = 4;
        position->ticks_per_beat = kTicksPerBeat;
        position->beats_per_minute = tempo;
        position->bar = static_cast<int32_t>(whole / beatsPerBar + 1);
        position->beat = static_cast<int32_t>(whole % beatsPerBar + 1);
        position->tick = static_cast<int32_t>((beats - whole) * kTicksPerBeat);
        position->bar_start_tick =
            static_cast<double>(whole / beatsPerBar) * beatsPerBar * kTicksPerBeat;
    }

    // Turns the cycles into the timeline and the transport into commands:
    // a start, a stop, and a jump of the position (a relocation).
    void work() {
        bool known = false;
        Cycle last;
        while (!stopping_.load()) {
            const std::uint32_t seen = wake_.sequence();
            while (Cycle* c = ring_.front()) {
                const Cycle now = *c;
                ring_.pop();
                follow(now, known ? &last : nullptr);
                last = now;
                known = true;
            }
            wake_.wait(seen, nanoseconds(steadyNanoseconds()) + std::chrono::milliseconds(100));
        }
    }

    void follow(const Cycle& now, const Cycle* last) {
        const bool armed = armed_.load();
        if (armed && startPending_.exchange(false)) {
            // Play pressed: with the transport rolling, from where it is.
            if (now.rolling) post({TransportKind::kStart, now.beat, ++epoch_});
        } else if (armed && last) {
            const double expected = last->beat + (last->rolling ? last->beatsPerCycle : 0.0);
            const bool jumped = std::fabs(now.beat - expected) > kJumpBeats;
            if (now.rolling && !last->rolling) {
                post({TransportKind::kStart, now.beat, ++epoch_});
            } else if (!now.rolling && last->rolling) {
                post({TransportKind::kStop, now.beat, epoch_});
                if (jumped) post({TransportKind::kLocate, now.beat, ++epoch_});
            } else if (jumped) {
                post({TransportKind::kLocate, now.beat, ++epoch_});
            }
        }
        TimelineSnapshot snapshot;
        snapshot.rolling = now.rolling;
        snapshot.anchorBeat = now.beat;
        snapshot.anchorTime = nanoseconds(now.timeNs);
        snapshot.nanosecondsPerBeat = 60e9 / now.tempo;
        // A cycle or two on at most: a server that stops cycling stops us.
        snapshot.horizonBeat = now.beat + std::max(0.25, 4 * now.beatsPerCycle);
        snapshot.epoch = epoch_;
        publish(snapshot);
    }

    static constexpr double kJumpBeats = 1e-3;

    JackClient client_;
    bool master_;
    std::atomic<double> songTempo_{120.0};
    std::atomic<int> beatsPerBar_{4};
    std::atomic<bool> armed_{false};
    std::atomic<bool> startPending_{false};
    std::uint32_t epoch_ = 0;  // the worker's
    SpscRing<Cycle, 256> ring_;
    WakeSignal wake_;
    std::atomic<bool> stopping_{false};
    std::thread worker_;
};

}  // namespace

Expected<std::shared_ptr<ClockSource>, Error> openJackMidiClock(const std::string& port,
                                                                double tempo) {
    auto clock = std::make_shared<JackMidiClock>(tempo);
    if (auto connected = clock->connect(port); !connected) return unexpected(connected.error());
    return std::shared_ptr<ClockSource>(std::move(clock));
}

Expected<std::shared_ptr<ClockSource>, Error> openJackTransport(bool timebaseMaster,
                                                                const ClockSourceSong& song) {
    auto transport = std::make_shared<JackTransport>(timebaseMaster, song);
    if (auto running = transport->run(); !running) return unexpected(running.error());
    return std::shared_ptr<ClockSource>(std::move(transport));
}

#else

Expected<std::shared_ptr<ClockSource>, Error> openJackMidiClock(const std::string&, double) {
    return unexpected(errorOf(ErrorCode::kDevice, "Built without JACK."));
}
Expected<std::shared_ptr<ClockSource>, Error> openJackTransport(bool, const ClockSourceSong&) {
    return unexpected(errorOf(ErrorCode::kDevice, "Built without JACK."));
}

#endif

}  // namespace halvorn

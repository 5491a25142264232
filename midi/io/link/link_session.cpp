#include "midi/io/link/link_session.h"

#include <ableton/Link.hpp>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

#include "midi/wake_signal.h"

namespace halvorn {

namespace {

using std::chrono::microseconds;
using std::chrono::nanoseconds;

nanoseconds steadyNow() {
    return std::chrono::duration_cast<nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

// How often the timeline is published while nothing changes: Link's clock
// and ours (monotonic raw and monotonic) drift apart by a few parts in a
// million at most.
constexpr auto kRepublish = std::chrono::milliseconds(20);

class LinkSession final : public ClockSource {
  public:
    explicit LinkSession(const ClockSourceSong& song) : link_(song.tempo > 0 ? song.tempo : 120.0) {
        quantum_.store(song.beatsPerMeasure > 0 ? song.beatsPerMeasure : 4);
        link_.enableStartStopSync(true);
        link_.enable(true);
        worker_ = std::thread([this] { work(); });
    }
    ~LinkSession() override {
        stop();
        stopping_.store(true);
        wake_.notify();
        worker_.join();
        link_.enable(false);
    }

    // At the next quantum boundary, with the session playing from then.
    void play(const ClockSourceSong& song) override {
        quantum_.store(song.beatsPerMeasure > 0 ? song.beatsPerMeasure : 4);
        const double quantum = quantum_.load();
        const auto now = link_.clock().micros();
        auto state = link_.captureAppSessionState();
        // Alone, the session takes the song's tempo; with peers, ours.
        if (link_.numPeers() == 0 && song.tempo > 0) state.setTempo(song.tempo, now);
        const double beat = state.beatAtTime(now, quantum);
        const double phase = state.phaseAtTime(now, quantum);
        const double start = beat - phase + quantum;
        state.setIsPlaying(true, state.timeAtBeat(start, quantum));
        link_.commitAppSessionState(state);
        {
            std::lock_guard lock(mutex_);
            startBeat_ = start;
            playing_ = true;
            ownStart_ = true;  // the session playing from now on is our doing
            post({TransportKind::kStart, 0.0, ++epoch_});
        }
        wake_.notify();
    }

    void stop() override {
        std::lock_guard lock(mutex_);
        if (!playing_) return;
        playing_ = false;
        auto state = link_.captureAppSessionState();
        state.setIsPlaying(false, link_.clock().micros());
        link_.commitAppSessionState(state);
    }

    ableton::Link& link() { return link_; }

  private:
    void work() {
        bool sessionPlaying = false;
        while (!stopping_.load()) {
            const std::uint32_t seen = wake_.sequence();
            follow(sessionPlaying);
            wake_.wait(seen, steadyNow() + kRepublish);
        }
    }

    // The session's beat now, on our clock, less the beat we started on.
    void follow(bool& sessionPlaying) {
        const double quantum = quantum_.load();
        const nanoseconds ours = steadyNow();
        const microseconds theirs = link_.clock().micros();
        const auto state = link_.captureAppSessionState();
        std::lock_guard lock(mutex_);
        const bool nowPlaying = state.isPlaying();
        if (ownStart_ && nowPlaying) {
            ownStart_ = false;
            sessionPlaying = true;
        }
        if (playing_ && sessionPlaying && !nowPlaying) {
            post({TransportKind::kStop, 0.0, epoch_});  // a peer stopped the session
        } else if (playing_ && !sessionPlaying && nowPlaying) {
            // A peer started it again: from the beginning, on its start.
            startBeat_ = state.beatAtTime(state.timeForIsPlaying(), quantum);
            post({TransportKind::kStart, 0.0, ++epoch_});
        }
        sessionPlaying = nowPlaying;
        TimelineSnapshot snapshot;
        snapshot.rolling = playing_ && nowPlaying;
        snapshot.anchorBeat = state.beatAtTime(theirs, quantum) - startBeat_;
        snapshot.anchorTime = ours;
        snapshot.nanosecondsPerBeat = 60e9 / state.tempo();
        snapshot.horizonBeat = snapshot.anchorBeat + 4.0;
        snapshot.epoch = epoch_;
        publish(snapshot);
    }

    ableton::Link link_;
    std::atomic<double> quantum_{4};
    std::mutex mutex_;
    double startBeat_ = 0;
    bool playing_ = false;
    bool ownStart_ = false;
    std::uint32_t epoch_ = 0;
    WakeSignal wake_;
    std::atomic<bool> stopping_{false};
    std::thread worker_;
};

}  // namespace

Expected<std::shared_ptr<ClockSource>, Error> openLinkSession(const ClockSourceSong& song) {
    try {
        return std::shared_ptr<ClockSource>(std::make_shared<LinkSession>(song));
    } catch (const std::exception& e) {
        return unexpected(errorOf(ErrorCode::kDevice, std::string("Link cannot start: ") + e.what()));
    }
}

}  // namespace halvorn

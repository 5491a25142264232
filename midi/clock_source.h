#pragma once
// Where playback's time comes from when it is not the song's own tempo: a
// source that follows MIDI clock from a port, a JACK transport or a Link
// session. It publishes a Timeline (beats to times, read by the stream's
// scheduler) and hands the playback its transport commands (Start, Stop,
// Continue, a new position), which the playback's follower thread acts on.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "midi/timeline.h"
#include "model/error.h"
#include "model/expected.h"

namespace halvorn {

enum class TransportKind : std::uint8_t {
    kStart,     // play from `beat` (a MIDI Start: from 0)
    kStop,      // hold where it is, every note silenced
    kContinue,  // go on from where it stopped
    kLocate,    // move to `beat`, rolling or not as before
};

struct TransportCommand {
    TransportKind kind = TransportKind::kStop;
    double beat = 0.0;        // quarter notes from the song's start
    std::uint32_t epoch = 0;  // of the timeline from this command on (kStart, kLocate)
    bool operator==(const TransportCommand&) const = default;
};

// What Play tells a source about the song: a source that leads as well as
// follows (Link, a JACK timebase master) publishes it.
struct ClockSourceSong {
    double tempo = 120.0;  // quarter notes a minute
    std::int32_t beatsPerMeasure = 4;
};

class ClockSource {
  public:
    virtual ~ClockSource() = default;

    const std::shared_ptr<Timeline>& timeline() const { return timeline_; }

    // Play was pressed: from now on the source's transport moves the
    // playback (a source may start it at once, as Link does at the next
    // quantum). Stop was pressed: it no longer does.
    virtual void play(const ClockSourceSong& song) { static_cast<void>(song); }
    virtual void stop() {}

    // The oldest transport command not yet taken, waiting at most until
    // `deadline` on the steady clock for one; nothing at the deadline or
    // once close() has been called.
    std::optional<TransportCommand> nextCommand(std::chrono::steady_clock::time_point deadline);
    // Ends the waits of nextCommand for good.
    void close();

    // The tempo followed, once the source has one.
    std::optional<double> tempo() const;

  protected:
    ClockSource() : timeline_(std::make_shared<Timeline>()) {}
    // From the source's own thread.
    void post(const TransportCommand& command);
    void publish(const TimelineSnapshot& snapshot) { timeline_->publish(snapshot); }

  private:
    std::shared_ptr<Timeline> timeline_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<TransportCommand> commands_;
    bool closed_ = false;
};

// Which clock playback follows: the "Sync:" setting of a run (never stored
// in a document) and `halvorn-cli play --sync`.
enum class SyncKind : std::uint8_t { kInternal, kMidiClock, kJackTransport, kLink };

struct SyncSetting {
    SyncKind kind = SyncKind::kInternal;
    std::string port;                 // the MIDI input port, for kMidiClock
    bool jackTimebaseMaster = false;  // publish our bar, beat and tempo on JACK
    bool operator==(const SyncSetting&) const = default;
};

// Makes the clock sources of a MidiSystem: the backends live outside the
// core (midi/io/), as the outputs do.
class ClockSourceProvider {
  public:
    virtual ~ClockSourceProvider() = default;
    // The MIDI input ports MIDI clock can come from, as the user sees them.
    virtual std::vector<std::string> inputPortNames() = 0;
    // Looks again (ports come and go); false when nothing changed.
    virtual bool rescan() { return false; }
    // The source `sync` names, following; one user-facing line on failure.
    virtual Expected<std::shared_ptr<ClockSource>, Error> open(const SyncSetting& sync,
                                                               const ClockSourceSong& song) = 0;
};

}  // namespace halvorn

#pragma once
// A portable MidiStream: one scheduler thread plays the queued buffers into
// a MidiOutput at times computed from absolute ticks, a second thread hands
// the played buffers back.
//
// The scheduler runs at real-time priority, so it shares no lock with the
// other threads and allocates nothing: buffers reach it and come back
// through fixed single-producer/single-consumer rings, and the controls
// (tempo, resolution, restart, pause) reach it as commands through a third.
// The threads that call the stream's operations take `producerMutex_`
// among themselves; the scheduler never does.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "midi/midi_clock.h"
#include "midi/midi_output.h"
#include "midi/midi_stream.h"
#include "midi/spsc_ring.h"
#include "midi/stream_position.h"
#include "midi/wake_signal.h"

namespace halvorn {

// Buffers queued and not yet handed back, at most.
inline constexpr std::size_t kMaxBuffersInFlight = 8;

class SoftwareMidiStream final : public MidiStream {
  public:
    SoftwareMidiStream(std::unique_ptr<MidiOutput> output, std::shared_ptr<MidiClock> clock,
                       MidiStreamDoneFunction done);
    ~SoftwareMidiStream() override;
    SoftwareMidiStream(const SoftwareMidiStream&) = delete;
    SoftwareMidiStream& operator=(const SoftwareMidiStream&) = delete;

    MidiResult setTimeDivision(std::uint32_t ticksPerQuarter) override;
    MidiResult setTempo(std::uint32_t microsecondsPerQuarter) override;
    MidiResult setUpChannels(const MidiChannelSetup& setup) override;
    MidiResult prepare(MidiStreamBuffer& buffer) override;
    // Fails with kDeviceError when kMaxBuffersInFlight buffers are out.
    MidiResult queue(MidiStreamBuffer& buffer) override;
    MidiResult restart() override;
    MidiResult pause() override;
    MidiResult close() override;
    std::string failure() const override;
    MidiResult followTimeline(std::shared_ptr<Timeline> timeline) override;
    MidiResult setClosingMessage(std::uint32_t message) override;
    MidiResult relocate(std::uint64_t tick, std::uint32_t epoch) override;

    // Ticks since the first restart: the last message sent, carried on
    // with the clock toward the next one due. Any thread, without a lock.
    std::optional<std::uint64_t> positionTicks() const override;

  private:
    struct Command {
        enum class Kind : std::uint8_t {
            kTimeDivision,
            kTempo,
            kRestart,
            kPause,
            kChannelVoice,
            kRelocate,
            kClosingMessage
        };
        Kind kind = Kind::kRestart;
        std::uint64_t value = 0;         // a channel voice packed one byte a field
        std::chrono::nanoseconds at{0};  // the clock when the caller asked
        std::uint32_t epoch = 0;         // kRelocate: the timeline's
    };

    MidiResult post(Command command);
    void runScheduler();
    void runNotifier();
    void applyCommands();
    void apply(const Command& command);
    // Plays the next record of `head` if it is due; false when the
    // scheduler has to wait for it first.
    bool playNextRecordIfDue(MidiStreamBuffer& head, std::uint32_t seen);
    void finishHeadBuffer();
    void handBackUnplayed();
    void relocateTo(std::uint64_t tick, std::uint32_t epoch);
    // When the record at `tick` is due: by the tempo, or by the timeline
    // followed (nothing while it gives no time).
    std::optional<std::chrono::nanoseconds> dueOfTick(std::uint64_t tick) const;
    void reanchor();
    std::chrono::nanoseconds timeOfTick(std::uint64_t tick) const;
    // Publishes the timing for positionTicks() when it has changed;
    // `waitingFor` is the tick of the record the scheduler waits for.
    void publishPosition(std::optional<std::uint64_t> waitingFor);
    void noteSent(MidiShortMessage message);
    void silenceSoundingNotes();
    void checkOutput();

    // send() on the scheduler thread only, lostReason() on the notifier's.
    std::unique_ptr<MidiOutput> output_;
    std::shared_ptr<MidiClock> clock_;
    MidiStreamDoneFunction done_;

    // Producer side of `queued_` and `commands_`, for the callers' threads.
    std::mutex producerMutex_;
    SpscRing<MidiStreamBuffer, kMaxBuffersInFlight> queued_;  // callers -> scheduler
    SpscRing<MidiStreamBuffer, kMaxBuffersInFlight> played_;  // scheduler -> notifier
    SpscRing<Command, 32> commands_;  // callers -> scheduler: room for a whole set-up
    std::atomic<std::size_t> inFlight_{0};
    // Shared with the timeline followed, which wakes the scheduler too.
    std::shared_ptr<WakeSignal> schedulerWake_ = std::make_shared<WakeSignal>();
    WakeSignal notifierWake_;
    std::atomic<bool> closing_{false};
    std::atomic<bool> notifierStopping_{false};
    PublishedStreamPosition publishedPosition_;
    // The timeline followed: set before the first restart, kept until close.
    std::shared_ptr<Timeline> timeline_;
    std::atomic<const Timeline*> followed_{nullptr};
    // Relocations the scheduler has carried out, and its signal to relocate().
    std::atomic<std::uint32_t> relocations_{0};
    WakeSignal relocated_;
    std::uint32_t relocationsAsked_ = 0;  // under producerMutex_
    std::chrono::nanoseconds lead_{0};    // output_->sendLead()
    std::uint32_t epoch_ = 0;
    std::optional<MidiShortMessage> closingMessage_;  // the scheduler's
    MidiShortMessage lastSent_ =
        0;  // the scheduler's             // of the timeline followed; the scheduler's

    // The scheduler thread's own state. `timing_` holds the position, the
    // tempo, the anchor and whether the stream runs.
    StreamPositionState timing_;
    StreamPositionState publishedTiming_;
    bool everStarted_ = false;
    bool silenceRequested_ = false;
    std::size_t nextRecord_ = 0;  // in the head buffer of `queued_`
    std::chrono::nanoseconds pausedAt_{0};
    std::array<std::uint8_t, 16 * 128> sounding_{};  // note-on count per channel and key

    // Why the output is gone, set by the notifier before it hands a buffer
    // back; empty while the output is there.
    mutable std::mutex failureMutex_;
    std::string failure_;

    std::mutex closeMutex_;
    bool closed_ = false;
    std::thread scheduler_;
    std::thread notifier_;
};

}  // namespace halvorn

#pragma once
// A portable MidiStream: one scheduler thread plays the queued buffers into
// a MidiOutput at times computed from absolute ticks, a second thread hands
// the played buffers back.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "midi/midi_clock.h"
#include "midi/midi_output.h"
#include "midi/midi_stream.h"

namespace halvorn {

class SoftwareMidiStream final : public MidiStream {
  public:
    SoftwareMidiStream(std::unique_ptr<MidiOutput> output, std::shared_ptr<MidiClock> clock,
                       MidiStreamDoneFunction done);
    ~SoftwareMidiStream() override;
    SoftwareMidiStream(const SoftwareMidiStream&) = delete;
    SoftwareMidiStream& operator=(const SoftwareMidiStream&) = delete;

    int setTimeDivision(std::uint32_t ticksPerQuarter) override;
    int setTempo(std::uint32_t microsecondsPerQuarter) override;
    int prepare(MidiStreamBuffer& buffer) override;
    int queue(MidiStreamBuffer& buffer) override;
    int restart() override;
    int pause() override;
    int close() override;

    // Ticks played since the first restart (the position of the last
    // message sent).
    std::uint64_t positionTicks() const;

  private:
    struct Pending {
        MidiStreamBuffer buffer;
        std::size_t nextRecord = 0;
    };

    void runScheduler();
    void runNotifier();
    // Plays the next record of the head buffer if it is due; false when the
    // scheduler has to wait first.
    bool playNextRecordIfDue(std::unique_lock<std::mutex>& lock);
    void finishHeadBuffer();
    void reanchor();
    std::chrono::nanoseconds timeOfTick(std::uint64_t tick) const;
    void noteSent(MidiShortMessage message);
    void silenceSoundingNotes();

    std::unique_ptr<MidiOutput> output_;  // used by the scheduler thread only
    std::shared_ptr<MidiClock> clock_;
    MidiStreamDoneFunction done_;

    mutable std::mutex mutex_;
    std::condition_variable schedulerWake_;
    std::condition_variable notifierWake_;
    std::deque<Pending> queue_;
    std::deque<MidiStreamBuffer> played_;
    bool running_ = false;
    bool everStarted_ = false;
    bool silenceRequested_ = false;
    bool closing_ = false;
    bool notifierStopping_ = false;
    std::uint32_t ticksPerQuarter_ = 96;
    std::uint32_t microsecondsPerQuarter_ = 500000;
    std::uint64_t positionTick_ = 0;
    std::uint64_t anchorTick_ = 0;
    std::chrono::nanoseconds anchorTime_{0};
    std::chrono::nanoseconds pausedAt_{0};

    // Note-on count per channel and key, scheduler thread only.
    std::array<std::uint8_t, 16 * 128> sounding_{};

    std::mutex closeMutex_;
    bool closed_ = false;
    std::thread scheduler_;
    std::thread notifier_;
};

}  // namespace halvorn

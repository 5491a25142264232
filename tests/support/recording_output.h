#pragma once
// A MidiOutput that keeps every message it is sent, for tests and the timing
// benchmark.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/midi_clock.h"
#include "midi/midi_output.h"

namespace halvorn {

struct RecordedMessage {
    MidiShortMessage message = 0;
    std::chrono::nanoseconds due{0};   // scheduled time on the stream's clock
    std::chrono::nanoseconds sent{0};  // the clock's time when it arrived
};

// The shared log an output writes into; it outlives the stream, so tests can
// read it after the stream has closed.
class MessageLog {
  public:
    void append(const RecordedMessage& message);
    std::vector<RecordedMessage> messages() const;
    std::size_t size() const;
    // Room for `count` messages, already paged in.
    void reserve(std::size_t count);

  private:
    mutable std::mutex mutex_;
    std::vector<RecordedMessage> messages_;
};

class RecordingOutput final : public MidiOutput {
  public:
    RecordingOutput(std::shared_ptr<MessageLog> log, std::shared_ptr<MidiClock> clock)
        : log_(std::move(log)), clock_(std::move(clock)) {}
    void send(MidiShortMessage message, std::chrono::nanoseconds due) override;

  private:
    std::shared_ptr<MessageLog> log_;
    std::shared_ptr<MidiClock> clock_;
};

class MidiSystem;

// Makes the output `make` gives, named `name`, the system's only output
// device on `clock`, and selects it.
void installOnlyOutputDevice(MidiSystem& system, std::string name,
                             std::function<std::unique_ptr<MidiOutput>()> make,
                             std::shared_ptr<MidiClock> clock);

// Makes one RecordingOutput on `clock` the system's only output device and
// selects it; returns the log it writes into.
std::shared_ptr<MessageLog> installRecordingDevice(MidiSystem& system,
                                                   std::shared_ptr<MidiClock> clock);

}  // namespace halvorn

#include "tests/support/recording_output.h"

#include "midi/device_list.h"
#include "midi/midi_system.h"
#include "midi/output_device_provider.h"

#include <algorithm>

namespace halvorn {

void MessageLog::append(const RecordedMessage& message) {
    std::lock_guard lock(mutex_);
    messages_.push_back(message);
}

std::vector<RecordedMessage> MessageLog::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::size_t MessageLog::size() const {
    std::lock_guard lock(mutex_);
    return messages_.size();
}

void MessageLog::reserve(std::size_t count) {
    std::lock_guard lock(mutex_);
    // Touching the memory now keeps page faults out of the timed sends.
    const std::size_t size = messages_.size();
    messages_.resize(std::max(count, size));
    messages_.resize(size);
}

void RecordingOutput::send(MidiShortMessage message, std::chrono::nanoseconds due) {
    log_->append({message, due, clock_->now()});
}

void installOnlyOutputDevice(MidiSystem& system, std::string name,
                             std::function<std::unique_ptr<MidiOutput>()> make,
                             std::shared_ptr<MidiClock> clock) {
    std::vector<OutputDeviceEntry> entries;
    entries.push_back({std::move(name),
                       [make = std::move(make)]() -> Expected<std::unique_ptr<MidiOutput>, Error> {
                           return make();
                       }});
    system.deviceProvider = std::make_shared<OutputDeviceProvider>(std::move(entries), clock);
    midiListOutputDevices(system);
    system.settings.selectedPort = 0;
}

std::shared_ptr<MessageLog> installRecordingDevice(MidiSystem& system,
                                                   std::shared_ptr<MidiClock> clock) {
    auto log = std::make_shared<MessageLog>();
    installOnlyOutputDevice(
        system, "Recorder", [log, clock] { return std::make_unique<RecordingOutput>(log, clock); },
        clock);
    return log;
}

}  // namespace halvorn

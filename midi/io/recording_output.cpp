#include "midi/io/recording_output.h"

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

}  // namespace halvorn

#include "midi/clock_source.h"

namespace halvorn {

std::optional<TransportCommand> ClockSource::nextCommand(
    std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, deadline, [this] { return closed_ || !commands_.empty(); });
    if (closed_ || commands_.empty()) return std::nullopt;
    const TransportCommand command = commands_.front();
    commands_.pop_front();
    return command;
}

void ClockSource::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
}

void ClockSource::post(const TransportCommand& command) {
    std::lock_guard lock(mutex_);
    commands_.push_back(command);
    changed_.notify_all();
}

std::optional<double> ClockSource::tempo() const {
    if (!timeline_->published()) return std::nullopt;
    const double tempo = timelineTempo(timeline_->read());
    if (tempo <= 0) return std::nullopt;
    return tempo;
}

}  // namespace halvorn

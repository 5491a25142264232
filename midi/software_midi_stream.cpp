#include "midi/software_midi_stream.h"

#include <utility>

#include "midi/midi_song.h"

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#endif

namespace halvorn {

using std::chrono::nanoseconds;

namespace {

std::uint32_t readLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void appendLe32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFFu));
}

bool isValidRecord(const MidiStreamRecord& record) {
    if (record.streamId != 0) return false;
    const std::uint32_t type = record.event & 0xFF000000u;
    return type == kMidiStreamShortMessage || type == kMidiStreamNoOperation;
}

// Real-time priorities above every ordinary thread: the scheduler's, and
// just below it the notification thread's, which takes the stream's lock to
// queue and must not be preempted while the scheduler waits for that lock.
constexpr int kSchedulerPriority = 10;
constexpr int kNotifierPriority = 5;

// Asks for a real-time priority and a fine timer slack for the calling
// thread; where the system refuses, the thread keeps what it has.
void raiseThreadPriority([[maybe_unused]] int aboveMinimum) {
#if defined(__linux__)
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO) + aboveMinimum;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
#endif
}

}  // namespace

void midiStreamAppendRecord(MidiStreamBuffer& buffer, const MidiStreamRecord& record) {
    appendLe32(buffer.bytes, record.delta);
    appendLe32(buffer.bytes, record.streamId);
    appendLe32(buffer.bytes, record.event);
}

MidiStreamRecord midiStreamReadRecord(const MidiStreamBuffer& buffer, std::size_t index) {
    const std::uint8_t* p = buffer.bytes.data() + index * kMidiStreamRecordSize;
    return {readLe32(p), readLe32(p + 4), readLe32(p + 8)};
}

SoftwareMidiStream::SoftwareMidiStream(std::unique_ptr<MidiOutput> output,
                                       std::shared_ptr<MidiClock> clock,
                                       MidiStreamDoneFunction done)
    : output_(std::move(output)), clock_(std::move(clock)), done_(std::move(done)) {
    scheduler_ = std::thread([this] { runScheduler(); });
    notifier_ = std::thread([this] { runNotifier(); });
}

SoftwareMidiStream::~SoftwareMidiStream() {
    close();
}

int SoftwareMidiStream::setTimeDivision(std::uint32_t ticksPerQuarter) {
    if (ticksPerQuarter == 0) return kMidiDeviceError;
    std::lock_guard lock(mutex_);
    if (closing_) return kMidiDeviceError;
    reanchor();
    ticksPerQuarter_ = ticksPerQuarter;
    schedulerWake_.notify_all();
    return kMidiOk;
}

int SoftwareMidiStream::setTempo(std::uint32_t microsecondsPerQuarter) {
    if (microsecondsPerQuarter == 0) return kMidiDeviceError;
    std::lock_guard lock(mutex_);
    if (closing_) return kMidiDeviceError;
    reanchor();
    microsecondsPerQuarter_ = microsecondsPerQuarter;
    schedulerWake_.notify_all();
    return kMidiOk;
}

int SoftwareMidiStream::prepare(MidiStreamBuffer& buffer) {
    if (buffer.bytes.empty() || buffer.bytes.size() % kMidiStreamRecordSize != 0)
        return kMidiDeviceError;
    for (std::size_t i = 0; i < buffer.recordCount(); ++i)
        if (!isValidRecord(midiStreamReadRecord(buffer, i))) return kMidiDeviceError;
    buffer.prepared = true;
    return kMidiOk;
}

int SoftwareMidiStream::queue(MidiStreamBuffer& buffer) {
    if (!buffer.prepared) return kMidiDeviceError;
    std::lock_guard lock(mutex_);
    if (closing_) return kMidiDeviceError;
    queue_.push_back(Pending{std::move(buffer), 0});
    buffer = MidiStreamBuffer{};
    schedulerWake_.notify_all();
    return kMidiOk;
}

int SoftwareMidiStream::restart() {
    std::lock_guard lock(mutex_);
    if (closing_) return kMidiDeviceError;
    if (running_) return kMidiOk;
    const nanoseconds now = clock_->now();
    if (everStarted_) {
        anchorTime_ += now - pausedAt_;  // the pause shifts every later time
    } else {
        anchorTick_ = positionTick_;
        anchorTime_ = now;
        everStarted_ = true;
    }
    running_ = true;
    schedulerWake_.notify_all();
    return kMidiOk;
}

int SoftwareMidiStream::pause() {
    std::lock_guard lock(mutex_);
    if (closing_) return kMidiDeviceError;
    if (!running_) return kMidiOk;
    running_ = false;
    pausedAt_ = clock_->now();
    silenceRequested_ = true;  // a paused stream leaves no note hanging
    schedulerWake_.notify_all();
    return kMidiOk;
}

int SoftwareMidiStream::close() {
    std::lock_guard closeLock(closeMutex_);
    if (closed_) return kMidiOk;
    // The notification thread cannot join itself.
    if (std::this_thread::get_id() == notifier_.get_id()) return kMidiDeviceError;
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
        schedulerWake_.notify_all();
    }
    scheduler_.join();
    {
        std::lock_guard lock(mutex_);
        for (auto& pending : queue_) played_.push_back(std::move(pending.buffer));
        queue_.clear();
        notifierStopping_ = true;
        notifierWake_.notify_all();
    }
    notifier_.join();
    closed_ = true;
    return kMidiOk;
}

std::uint64_t SoftwareMidiStream::positionTicks() const {
    std::lock_guard lock(mutex_);
    return positionTick_;
}

void SoftwareMidiStream::reanchor() {
    if (everStarted_) anchorTime_ = timeOfTick(positionTick_);
    anchorTick_ = positionTick_;
}

nanoseconds SoftwareMidiStream::timeOfTick(std::uint64_t tick) const {
    // Computed from the anchor each time, never by adding up deltas, so
    // rounding cannot accumulate.
    const unsigned __int128 ticks = tick - anchorTick_;
    const unsigned __int128 ns = ticks * microsecondsPerQuarter_ * 1000u / ticksPerQuarter_;
    return anchorTime_ + nanoseconds(static_cast<std::int64_t>(ns));
}

void SoftwareMidiStream::runScheduler() {
    if (clock_->isRealTime()) raiseThreadPriority(kSchedulerPriority);
    std::unique_lock lock(mutex_);
    while (!closing_) {
        if (silenceRequested_) {
            silenceRequested_ = false;
            lock.unlock();
            silenceSoundingNotes();
            lock.lock();
            continue;
        }
        if (!running_ || queue_.empty()) {
            schedulerWake_.wait(lock);
            continue;
        }
        if (!playNextRecordIfDue(lock)) continue;
    }
    lock.unlock();
    silenceSoundingNotes();
}

bool SoftwareMidiStream::playNextRecordIfDue(std::unique_lock<std::mutex>& lock) {
    Pending& head = queue_.front();
    const MidiStreamRecord record = midiStreamReadRecord(head.buffer, head.nextRecord);
    const std::uint64_t tick = positionTick_ + record.delta;
    const nanoseconds due = timeOfTick(tick);
    if (clock_->now() < due) {
        clock_->waitUntil(lock, schedulerWake_, due);
        return false;
    }
    positionTick_ = tick;
    ++head.nextRecord;
    const bool finished = head.nextRecord == head.buffer.recordCount();
    if ((record.event & 0xFF000000u) == kMidiStreamShortMessage) {
        // Send without the lock so queueing and pausing never wait on the
        // output; only this thread touches the output.
        lock.unlock();
        noteSent(record.event);
        output_->send(record.event, due);
        lock.lock();
    }
    if (finished) finishHeadBuffer();
    return true;
}

void SoftwareMidiStream::finishHeadBuffer() {
    played_.push_back(std::move(queue_.front().buffer));
    queue_.pop_front();
    notifierWake_.notify_all();
}

void SoftwareMidiStream::runNotifier() {
    if (clock_->isRealTime()) raiseThreadPriority(kNotifierPriority);
    std::unique_lock lock(mutex_);
    for (;;) {
        notifierWake_.wait(lock, [this] { return !played_.empty() || notifierStopping_; });
        if (played_.empty()) return;
        MidiStreamBuffer buffer = std::move(played_.front());
        played_.pop_front();
        lock.unlock();
        if (done_) done_(std::move(buffer));
        lock.lock();
    }
}

void SoftwareMidiStream::noteSent(MidiShortMessage message) {
    const std::uint8_t status = midiMessageStatus(message);
    const std::uint8_t kind = status & 0xF0u;
    if (kind != 0x80 && kind != 0x90) return;
    std::uint8_t& count = sounding_[(status & 0x0Fu) * 128u + (midiMessageData1(message) & 0x7Fu)];
    const bool on = kind == 0x90 && midiMessageData2(message) != 0;
    if (on) {
        if (count < 255) ++count;
    } else if (count > 0) {
        --count;
    }
}

void SoftwareMidiStream::silenceSoundingNotes() {
    const nanoseconds now = clock_->now();
    for (std::size_t i = 0; i < sounding_.size(); ++i) {
        const auto channel = static_cast<std::uint8_t>(i / 128);
        const auto key = static_cast<std::uint8_t>(i % 128);
        for (; sounding_[i] > 0; --sounding_[i])
            output_->send(midiPackShortMessage(0x90 | channel, key, 0), now);
    }
}

}  // namespace halvorn

#include "midi/software_midi_stream.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "model/byte_order.h"

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#endif

namespace halvorn {

using std::chrono::nanoseconds;

namespace {

bool isValidRecord(const MidiStreamRecord& record) {
    if (record.streamId != 0) return false;
    const std::uint32_t type = record.event & 0xFF000000u;
    return type == kMidiStreamShortMessage || type == kMidiStreamNoOperation;
}

// Real-time priorities above every ordinary thread: the scheduler's, and
// the lowest for the notification thread, which has a whole buffer's time
// to refill the queue and so stays below the threads of a JACK server's
// clients (five below the server's 10 by default) that carry the messages.
constexpr int kSchedulerPriority = 10;
constexpr int kNotifierPriority = 0;

// Asks for a real-time priority and a fine timer slack for the calling
// thread. Where the system refuses, the thread keeps what it has and
// standard error says so once: timing then suffers on a busy machine.
void raiseThreadPriority([[maybe_unused]] int aboveMinimum) {
#if defined(__linux__)
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO) + aboveMinimum;
    const int refused = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    static std::atomic<bool> told{false};
    if (refused != 0 && !told.exchange(true))
        std::fprintf(stderr,
                     "halvorn: real-time priority refused for MIDI playback (%s); timing may "
                     "suffer while the machine is busy\n",
                     std::strerror(refused));
#endif
}

void appendLe32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    std::uint8_t word[4];
    putLe32(word, value);
    bytes.insert(bytes.end(), word, word + 4);
}

}  // namespace

void midiStreamAppendRecord(MidiStreamBuffer& buffer, const MidiStreamRecord& record) {
    appendLe32(buffer.bytes, record.delta);
    appendLe32(buffer.bytes, record.streamId);
    appendLe32(buffer.bytes, record.event);
}

MidiStreamRecord midiStreamReadRecord(const MidiStreamBuffer& buffer, std::size_t index) {
    const std::uint8_t* p = buffer.bytes.data() + index * kMidiStreamRecordSize;
    return {getLe32(p), getLe32(p + 4), getLe32(p + 8)};
}

SoftwareMidiStream::SoftwareMidiStream(std::unique_ptr<MidiOutput> output,
                                       std::shared_ptr<MidiClock> clock,
                                       MidiStreamDoneFunction done)
    : output_(std::move(output)), clock_(std::move(clock)), done_(std::move(done)) {
    lead_ = output_->sendLead();
    scheduler_ = std::thread([this] { runScheduler(); });
    notifier_ = std::thread([this] { runNotifier(); });
}

SoftwareMidiStream::~SoftwareMidiStream() {
    static_cast<void>(close());
}

MidiResult SoftwareMidiStream::post(Command command) {
    std::lock_guard lock(producerMutex_);
    if (closing_.load() || !commands_.push(std::move(command))) return MidiResult::kDeviceError;
    schedulerWake_->notify();
    return MidiResult::kOk;
}

MidiResult SoftwareMidiStream::setTimeDivision(std::uint32_t ticksPerQuarter) {
    if (ticksPerQuarter == 0) return MidiResult::kDeviceError;
    return post({Command::Kind::kTimeDivision, ticksPerQuarter, clock_->now()});
}

MidiResult SoftwareMidiStream::setTempo(std::uint32_t microsecondsPerQuarter) {
    if (microsecondsPerQuarter == 0) return MidiResult::kDeviceError;
    return post({Command::Kind::kTempo, microsecondsPerQuarter, clock_->now()});
}

// The output is the scheduler's alone, so the channels are set up there, in
// order with the other commands, before the first buffer plays.
MidiResult SoftwareMidiStream::setUpChannels(const MidiChannelSetup& setup) {
    for (const MidiChannelVoice& voice : setup) {
        const std::uint32_t packed = voice.channel | voice.program << 8 | voice.volume << 16 |
                                     static_cast<std::uint32_t>(voice.pan) << 24;
        if (post({Command::Kind::kChannelVoice, packed, clock_->now()}) != MidiResult::kOk)
            return MidiResult::kDeviceError;
    }
    return MidiResult::kOk;
}

MidiResult SoftwareMidiStream::prepare(MidiStreamBuffer& buffer) {
    if (buffer.bytes.empty() || buffer.bytes.size() % kMidiStreamRecordSize != 0)
        return MidiResult::kDeviceError;
    for (std::size_t i = 0; i < buffer.recordCount(); ++i)
        if (!isValidRecord(midiStreamReadRecord(buffer, i))) return MidiResult::kDeviceError;
    buffer.prepared = true;
    return MidiResult::kOk;
}

MidiResult SoftwareMidiStream::queue(MidiStreamBuffer& buffer) {
    if (!buffer.prepared) return MidiResult::kDeviceError;
    std::lock_guard lock(producerMutex_);
    if (closing_.load() || inFlight_.load() >= kMaxBuffersInFlight) return MidiResult::kDeviceError;
    inFlight_.fetch_add(1);
    if (!queued_.push(std::move(buffer))) {
        inFlight_.fetch_sub(1);
        return MidiResult::kDeviceError;
    }
    buffer = MidiStreamBuffer{};
    schedulerWake_->notify();
    return MidiResult::kOk;
}

MidiResult SoftwareMidiStream::restart() {
    return post({Command::Kind::kRestart, 0, clock_->now()});
}

MidiResult SoftwareMidiStream::pause() {
    return post({Command::Kind::kPause, 0, clock_->now()});
}

MidiResult SoftwareMidiStream::close() {
    std::lock_guard closeLock(closeMutex_);
    if (closed_) return MidiResult::kOk;
    // The notification thread cannot join itself.
    if (std::this_thread::get_id() == notifier_.get_id()) return MidiResult::kDeviceError;
    {
        std::lock_guard lock(producerMutex_);
        closing_.store(true);
    }
    schedulerWake_->notify();
    scheduler_.join();
    if (timeline_) timeline_->unsubscribe(schedulerWake_);
    handBackUnplayed();
    notifierStopping_.store(true);
    notifierWake_.notify();
    notifier_.join();
    closed_ = true;
    return MidiResult::kOk;
}

// After the scheduler has ended, this thread takes over both of its ring
// ends: what was never played follows what was, in queue order.
void SoftwareMidiStream::handBackUnplayed() {
    while (MidiStreamBuffer* buffer = queued_.front()) {
        static_cast<void>(played_.push(std::move(*buffer)));  // at most 8 are out
        queued_.pop();
    }
}

std::optional<std::uint64_t> SoftwareMidiStream::positionTicks() const {
    const StreamPositionState state = publishedPosition_.read();
    const Timeline* followed = followed_.load(std::memory_order_acquire);
    if (!followed) return streamTickAt(state, clock_->now());
    // Carried on by the timeline between the messages, as by the tempo.
    const TimelineSnapshot snapshot = followed->read();
    if (!state.running || !state.nextKnown || !snapshot.rolling || state.ticksPerQuarter == 0)
        return state.playedTick;
    const double beat = timelineBeatAt(snapshot, clock_->now());
    const double tick = std::floor(beat * state.ticksPerQuarter);
    const auto played = static_cast<double>(state.playedTick);
    const auto next = static_cast<double>(std::max(state.nextTick, state.playedTick));
    return static_cast<std::uint64_t>(std::clamp(tick, played, next));
}

MidiResult SoftwareMidiStream::setClosingMessage(std::uint32_t message) {
    return post({Command::Kind::kClosingMessage, message, clock_->now()});
}

MidiResult SoftwareMidiStream::followTimeline(std::shared_ptr<Timeline> timeline) {
    std::lock_guard lock(producerMutex_);
    if (closing_.load() || timeline_ || !timeline) return MidiResult::kDeviceError;
    timeline_ = std::move(timeline);
    timeline_->subscribe(schedulerWake_);
    followed_.store(timeline_.get(), std::memory_order_release);
    schedulerWake_->notify();
    return MidiResult::kOk;
}

MidiResult SoftwareMidiStream::relocate(std::uint64_t tick, std::uint32_t epoch) {
    std::uint32_t asked = 0;
    {
        std::lock_guard lock(producerMutex_);
        if (closing_.load() ||
            !commands_.push({Command::Kind::kRelocate, tick, clock_->now(), epoch}))
            return MidiResult::kDeviceError;
        asked = ++relocationsAsked_;
        schedulerWake_->notify();
    }
    // The scheduler never waits for this thread, so waiting here is safe.
    for (;;) {
        const std::uint32_t seen = relocated_.sequence();
        const std::uint32_t done = relocations_.load(std::memory_order_acquire);
        if (static_cast<std::int32_t>(done - asked) >= 0) return MidiResult::kOk;
        if (closing_.load()) return MidiResult::kDeviceError;
        relocated_.wait(seen, std::chrono::steady_clock::now().time_since_epoch() +
                                  std::chrono::milliseconds(50));
    }
}

// Everything queued goes back, the head buffer too, however far it had
// played; the notes that sound stop, and counting goes on from `tick`.
void SoftwareMidiStream::relocateTo(std::uint64_t tick, std::uint32_t epoch) {
    epoch_ = epoch;
    while (MidiStreamBuffer* buffer = queued_.front()) {
        static_cast<void>(played_.push(std::move(*buffer)));  // at most 8 are out
        queued_.pop();
    }
    nextRecord_ = 0;
    notifierWake_.notify();
    silenceSoundingNotes();
    timing_.playedTick = tick;
    timing_.anchorTick = tick;
    if (everStarted_) timing_.anchorTime = clock_->now();
    relocations_.fetch_add(1, std::memory_order_acq_rel);
    relocated_.notify();
}

std::optional<nanoseconds> SoftwareMidiStream::dueOfTick(std::uint64_t tick) const {
    const Timeline* followed = followed_.load(std::memory_order_acquire);
    if (!followed) return timeOfTick(tick);
    if (timing_.ticksPerQuarter == 0) return std::nullopt;
    const TimelineSnapshot snapshot = followed->read();
    if (snapshot.epoch != epoch_) return std::nullopt;  // not yet relocated for it
    return timelineTimeOfBeat(snapshot, static_cast<double>(tick) / timing_.ticksPerQuarter);
}

void SoftwareMidiStream::publishPosition(std::optional<std::uint64_t> waitingFor) {
    StreamPositionState state = timing_;
    state.nextKnown = waitingFor.has_value();
    state.nextTick = waitingFor.value_or(0);
    if (state == publishedTiming_) return;
    publishedTiming_ = state;
    publishedPosition_.publish(state);
}

void SoftwareMidiStream::reanchor() {
    if (everStarted_) timing_.anchorTime = timeOfTick(timing_.playedTick);
    timing_.anchorTick = timing_.playedTick;
}

// Computed from the anchor each time, never by adding up deltas, so
// rounding cannot accumulate.
nanoseconds SoftwareMidiStream::timeOfTick(std::uint64_t tick) const {
    return streamTimeOfTick(timing_, tick);
}

void SoftwareMidiStream::apply(const Command& command) {
    switch (command.kind) {
        case Command::Kind::kTimeDivision:
            reanchor();
            timing_.ticksPerQuarter = static_cast<std::uint32_t>(command.value);
            break;
        case Command::Kind::kTempo:
            reanchor();
            timing_.microsecondsPerQuarter = static_cast<std::uint32_t>(command.value);
            break;
        case Command::Kind::kRestart:
            if (timing_.running) break;
            if (everStarted_) {
                timing_.anchorTime += command.at - pausedAt_;  // the pause shifts every later time
            } else {
                timing_.anchorTick = timing_.playedTick;
                timing_.anchorTime = command.at;
                everStarted_ = true;
            }
            timing_.running = true;
            break;
        case Command::Kind::kPause:
            if (!timing_.running) break;
            timing_.running = false;
            pausedAt_ = command.at;
            silenceRequested_ = true;  // a paused stream leaves no note hanging
            break;
        case Command::Kind::kClosingMessage:
            closingMessage_ = static_cast<MidiShortMessage>(command.value);
            break;
        case Command::Kind::kRelocate:
            relocateTo(command.value, command.epoch);
            break;
        case Command::Kind::kChannelVoice:
            output_->setUpChannel({.channel = static_cast<std::uint8_t>(command.value),
                                   .program = static_cast<std::uint8_t>(command.value >> 8),
                                   .volume = static_cast<std::uint8_t>(command.value >> 16),
                                   .pan = static_cast<std::uint8_t>(command.value >> 24)});
            break;
    }
}

void SoftwareMidiStream::applyCommands() {
    while (Command* command = commands_.front()) {
        apply(*command);
        commands_.pop();
    }
}

void SoftwareMidiStream::runScheduler() {
    if (clock_->isRealTime()) raiseThreadPriority(kSchedulerPriority);
    for (;;) {
        const std::uint32_t seen = schedulerWake_->sequence();
        if (closing_.load(std::memory_order_acquire)) break;
        applyCommands();
        if (silenceRequested_) {
            silenceRequested_ = false;
            silenceSoundingNotes();
        }
        MidiStreamBuffer* head = timing_.running ? queued_.front() : nullptr;
        if (!head) {
            publishPosition(std::nullopt);
            schedulerWake_->wait(seen);
            continue;
        }
        if (playNextRecordIfDue(*head, seen) && nextRecord_ == head->recordCount())
            finishHeadBuffer();
    }
    silenceSoundingNotes();
    if (closingMessage_ && lastSent_ != *closingMessage_)
        output_->send(*closingMessage_, clock_->now());
}

bool SoftwareMidiStream::playNextRecordIfDue(MidiStreamBuffer& head, std::uint32_t seen) {
    const MidiStreamRecord record = midiStreamReadRecord(head, nextRecord_);
    const std::uint64_t tick = timing_.playedTick + record.delta;
    const std::optional<nanoseconds> dueAt = dueOfTick(tick);
    if (!dueAt) {
        // The timeline followed gives no time yet: wait until it changes.
        publishPosition(tick);
        clock_->waitForWake(*schedulerWake_, seen);
        return false;
    }
    const nanoseconds due = *dueAt;
    if (clock_->now() < due - lead_) {
        publishPosition(tick);
        clock_->waitUntil(*schedulerWake_, seen, due - lead_);
        return false;
    }
    timing_.playedTick = tick;
    ++nextRecord_;
    if ((record.event & 0xFF000000u) == kMidiStreamShortMessage) {
        noteSent(record.event);
        output_->send(record.event, due);
        lastSent_ = record.event;
    }
    return true;
}

void SoftwareMidiStream::finishHeadBuffer() {
    static_cast<void>(played_.push(std::move(*queued_.front())));  // at most 8 are out
    queued_.pop();
    nextRecord_ = 0;
    notifierWake_.notify();
}

void SoftwareMidiStream::runNotifier() {
    if (clock_->isRealTime()) raiseThreadPriority(kNotifierPriority);
    for (;;) {
        const std::uint32_t seen = notifierWake_.sequence();
        const bool stopping = notifierStopping_.load(std::memory_order_acquire);
        while (MidiStreamBuffer* played = played_.front()) {
            MidiStreamBuffer buffer = std::move(*played);
            played_.pop();
            inFlight_.fetch_sub(1);
            if (!closing_.load(std::memory_order_acquire)) checkOutput();
            if (done_) done_(std::move(buffer));
        }
        if (stopping) return;
        notifierWake_.wait(seen);
    }
}

// Once the output is lost it stays lost: the stream keeps what it saw first.
void SoftwareMidiStream::checkOutput() {
    {
        std::lock_guard lock(failureMutex_);
        if (!failure_.empty()) return;
    }
    std::string reason = output_->lostReason();
    if (reason.empty()) return;
    std::lock_guard lock(failureMutex_);
    failure_ = std::move(reason);
}

std::string SoftwareMidiStream::failure() const {
    std::lock_guard lock(failureMutex_);
    return failure_;
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

#include "midi/midi_clock_follower.h"

#include "midi/playback_window.h"

namespace halvorn {

using std::chrono::nanoseconds;

namespace {

constexpr double kClocksPerBeat = kClocksPerQuarter;
// Playback is scheduled this many clocks past the last one heard, so that
// notes on the next clock are placed by the loop's prediction rather than
// by the arrival, which jitters.
constexpr double kHorizonClocks = 2.0;
// Clocks silent this long while rolling hold playback.
constexpr double kHoldBeats = 2.0;
// Clocks further apart than this are not one stream: the loop starts over.
constexpr double kRelockBeats = 1.0;

}  // namespace

MidiClockFollower::MidiClockFollower(double tempo)
    : assumedPeriod_(60e9 / (tempo > 0 ? tempo : 120.0) / kClocksPerBeat) {
    publishStopped();
}

double MidiClockFollower::nanosecondsPerBeat() const {
    return (dll_.locked() ? dll_.period() : assumedPeriod_) * kClocksPerBeat;
}

void MidiClockFollower::publishStopped() {
    TimelineSnapshot snapshot;
    snapshot.rolling = false;
    snapshot.anchorBeat = static_cast<double>(nextClock_) / kClocksPerBeat;
    snapshot.nanosecondsPerBeat = nanosecondsPerBeat();
    snapshot.epoch = epoch_;
    publish(snapshot);
}

void MidiClockFollower::receive(std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                                nanoseconds at) {
    switch (status) {
        case kMidiClockStatus:
            clock(at);
            break;
        case kMidiStartStatus:
            nextClock_ = 0;
            state_ = State::kArmed;
            ++epoch_;
            publishStopped();
            post({TransportKind::kStart, 0.0, epoch_});
            break;
        case kMidiContinueStatus:
            if (state_ == State::kRolling) break;
            state_ = State::kArmed;
            publishStopped();
            post({TransportKind::kContinue, 0.0, epoch_});
            break;
        case kMidiStopStatus:
            if (state_ == State::kStopped) break;
            state_ = State::kStopped;
            publishStopped();
            post({TransportKind::kStop, 0.0, epoch_});
            break;
        case kMidiSongPositionStatus: {
            // Sixteenths: six clocks each; the next clock stands for it.
            const int sixteenths = (data1 & 0x7F) | (data2 & 0x7F) << 7;
            nextClock_ = static_cast<std::int64_t>(sixteenths) * 6;
            if (state_ == State::kRolling || state_ == State::kHeld) state_ = State::kArmed;
            ++epoch_;
            publishStopped();
            post({TransportKind::kLocate, sixteenths / 4.0, epoch_});
            break;
        }
        default:
            break;
    }
}

void MidiClockFollower::clock(nanoseconds at) {
    const double gap = static_cast<double>((at - lastClock_).count());
    if (!dll_.locked() || !heardClock_ || gap > kRelockBeats * nanosecondsPerBeat() || gap <= 0) {
        // The first clock of a stream: its period from the one before when
        // that is plausible, else from the tempo assumed.
        const bool plausible = heardClock_ && gap > 0 && gap < kRelockBeats * nanosecondsPerBeat();
        dll_.reset(at, plausible ? gap : nanosecondsPerBeat() / kClocksPerBeat);
    } else {
        dll_.update(at);
    }
    lastClock_ = at;
    heardClock_ = true;
    if (state_ == State::kStopped) {
        publishStopped();  // the tempo shown follows while stopped too
        return;
    }
    const bool resuming = state_ != State::kRolling;
    if (state_ == State::kHeld) post({TransportKind::kContinue, 0.0, epoch_});
    state_ = State::kRolling;
    const double beat = static_cast<double>(nextClock_) / kClocksPerBeat;
    ++nextClock_;
    const double nextBeat = static_cast<double>(nextClock_) / kClocksPerBeat;
    TimelineSnapshot snapshot;
    snapshot.rolling = true;
    snapshot.nanosecondsPerBeat = nanosecondsPerBeat();
    snapshot.horizonBeat = beat + kHorizonClocks / kClocksPerBeat;
    snapshot.epoch = epoch_;
    if (resuming) {
        // The first clock after Start or Continue: its note sounds with it.
        snapshot.anchorBeat = beat;
        snapshot.anchorTime = at;
    } else {
        snapshot.anchorBeat = nextBeat;
        snapshot.anchorTime = dll_.next();
    }
    publish(snapshot);
}

std::optional<nanoseconds> MidiClockFollower::idleDeadline() const {
    if (state_ != State::kRolling) return std::nullopt;
    return lastClock_ + nanoseconds(static_cast<long long>(kHoldBeats * nanosecondsPerBeat()));
}

void MidiClockFollower::idle(nanoseconds now) {
    const auto deadline = idleDeadline();
    if (!deadline || now < *deadline) return;
    state_ = State::kHeld;
    publishStopped();
    post({TransportKind::kStop, 0.0, epoch_});
}

}  // namespace halvorn

#pragma once
// A MIDI stream: buffers of delta-timed short messages played in queue
// order at the set resolution and tempo, each played buffer handed back on
// a thread of the stream's own.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "midi/channel_setup.h"
#include "midi/midi_song.h"
#include "midi/timeline.h"

namespace halvorn {

// One record of a stream buffer is three little-endian uint32: delta ticks
// since the previous record of the stream, stream id (always 0), event word.
inline constexpr std::size_t kMidiStreamRecordSize = 12;

// High byte of the event word: 0x00 short message, 0x02 no operation.
inline constexpr std::uint32_t kMidiStreamShortMessage = 0x00000000;
inline constexpr std::uint32_t kMidiStreamNoOperation = 0x02000000;

struct MidiStreamRecord {
    std::uint32_t delta = 0;
    std::uint32_t streamId = 0;
    std::uint32_t event = 0;
    bool operator==(const MidiStreamRecord&) const = default;
};

struct MidiStreamBuffer {
    std::vector<std::uint8_t> bytes;  // whole records
    std::uint32_t userWord = 0;       // left alone by the stream
    bool prepared = false;            // set by MidiStream::prepare

    std::size_t recordCount() const { return bytes.size() / kMidiStreamRecordSize; }
};

void midiStreamAppendRecord(MidiStreamBuffer& buffer, const MidiStreamRecord& record);
MidiStreamRecord midiStreamReadRecord(const MidiStreamBuffer& buffer, std::size_t index);

// Receives each buffer back once it has been played (or dropped by close),
// in queue order, on the stream's notification thread. It must not close the
// stream it is called from.
using MidiStreamDoneFunction = std::function<void(MidiStreamBuffer&& buffer)>;

// Operations return kOk or kDeviceError.
class MidiStream {
  public:
    virtual ~MidiStream() = default;

    virtual MidiResult setTimeDivision(std::uint32_t ticksPerQuarter) = 0;
    virtual MidiResult setTempo(std::uint32_t microsecondsPerQuarter) = 0;

    // Sets every channel of the output up for the song about to play (see
    // MidiOutput::setUpChannel), before the first buffer sounds. A stream
    // whose output cannot be set up accepts and ignores it.
    virtual MidiResult setUpChannels(const MidiChannelSetup& setup) {
        static_cast<void>(setup);
        return MidiResult::kOk;
    }

    // A message the stream sends last when it closes, after silencing the
    // notes that sound, unless it was the last message sent anyway (a MIDI
    // Stop, so that devices locked to our clock stop with us). Ignored by a
    // stream that cannot.
    virtual MidiResult setClosingMessage(std::uint32_t message) {
        static_cast<void>(message);
        return MidiResult::kOk;
    }

    // Plays by `timeline` instead of the set tempo: each record sounds when
    // the timeline gives its tick's beat (tick / ticks per quarter) a time,
    // and waits while it gives none. Before the first restart only.
    // kDeviceError from a stream that cannot follow.
    virtual MidiResult followTimeline(std::shared_ptr<Timeline> timeline) {
        static_cast<void>(timeline);
        return MidiResult::kDeviceError;
    }

    // Hands every queued buffer back unplayed (to the done function, in
    // order), silences the notes that sound and counts on from `tick`;
    // returns once that is done, so that the next buffer queued plays from
    // there. Running or paused as before.
    // A stream following a timeline plays on from there by the snapshots of
    // `epoch` only.
    virtual MidiResult relocate(std::uint64_t tick, std::uint32_t epoch) {
        static_cast<void>(tick);
        static_cast<void>(epoch);
        return MidiResult::kDeviceError;
    }

    // The position the stream has played to, in ticks since it first
    // started; nothing from a stream that cannot tell. Any thread.
    virtual std::optional<std::uint64_t> positionTicks() const { return std::nullopt; }

    // Checks a buffer: a nonzero whole number of records, stream id 0, only
    // short messages and no-operations. Marks it prepared.
    virtual MidiResult prepare(MidiStreamBuffer& buffer) = 0;

    // Queues a prepared buffer after those queued before it. On failure the
    // buffer is left with the caller.
    virtual MidiResult queue(MidiStreamBuffer& buffer) = 0;

    // A new stream starts paused; restart starts or resumes it.
    virtual MidiResult restart() = 0;
    virtual MidiResult pause() = 0;

    // Silences the notes that sound, hands every queued buffer back and ends
    // the stream's threads. Idempotent; the destructor closes too.
    virtual MidiResult close() = 0;

    // Empty while the stream's output is there; otherwise why it is gone, as
    // last seen before a buffer was handed back.
    virtual std::string failure() const { return {}; }
};

}  // namespace halvorn

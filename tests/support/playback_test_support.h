#pragma once
// Test doubles for playback: a stream that captures its buffers and plays
// them only when the test says so, and a recorder on a virtual clock.

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "midi/device_list.h"
#include "midi/midi_clock.h"
#include "midi/midi_song.h"
#include "midi/midi_stream.h"
#include "midi/midi_system.h"
#include "midi/output_device_provider.h"
#include "midi/playback.h"
#include "tests/support/playback_lease.h"
#include "tests/support/recording_output.h"

namespace halvorn::test {

// Shared between the test and the streams it opens.
struct CaptureLog {
    std::vector<MidiStreamBuffer> queued;  // a copy of every queued buffer, in order
    std::deque<MidiStreamBuffer> inFlight;
    MidiStreamDoneFunction done;
    int queueFailuresFrom = -1;  // queue calls from this number on fail
    int queueCalls = 0;
    int opens = 0;
    std::optional<std::uint64_t> position;  // what the stream says it has played to
    std::string failure;                    // why its output went away, if it did
    bool running = false;
    bool closed = false;

    // Reports the oldest queued buffer as played; false when none is queued.
    bool playNext() {
        if (inFlight.empty()) return false;
        MidiStreamBuffer buffer = std::move(inFlight.front());
        inFlight.pop_front();
        done(std::move(buffer));
        return true;
    }
};

class CapturingStream final : public MidiStream {
  public:
    explicit CapturingStream(std::shared_ptr<CaptureLog> log) : log_(std::move(log)) {}
    ~CapturingStream() override { static_cast<void>(close()); }
    MidiResult setTimeDivision(std::uint32_t) override { return MidiResult::kOk; }
    MidiResult setTempo(std::uint32_t) override { return MidiResult::kOk; }
    std::optional<std::uint64_t> positionTicks() const override { return log_->position; }
    std::string failure() const override { return log_->failure; }
    MidiResult prepare(MidiStreamBuffer& buffer) override {
        buffer.prepared = true;
        return MidiResult::kOk;
    }
    MidiResult queue(MidiStreamBuffer& buffer) override {
        const int call = log_->queueCalls++;
        if (log_->queueFailuresFrom >= 0 && call >= log_->queueFailuresFrom)
            return MidiResult::kDeviceError;
        log_->queued.push_back(buffer);
        log_->inFlight.push_back(std::move(buffer));
        return MidiResult::kOk;
    }
    MidiResult restart() override {
        log_->running = true;
        return MidiResult::kOk;
    }
    MidiResult pause() override {
        log_->running = false;
        return MidiResult::kOk;
    }
    MidiResult close() override {
        if (log_->closed) return MidiResult::kOk;
        log_->closed = true;
        while (log_->playNext()) {
        }
        return MidiResult::kOk;
    }

  private:
    std::shared_ptr<CaptureLog> log_;
};

class CaptureProvider final : public MidiDeviceProvider {
  public:
    explicit CaptureProvider(std::shared_ptr<CaptureLog> log) : log_(std::move(log)) {}
    std::vector<std::string> deviceNames() override { return {"Capture"}; }
    Expected<std::unique_ptr<MidiStream>, Error> openStream(std::uint32_t,
                                                            MidiStreamDoneFunction done) override {
        ++log_->opens;
        log_->done = std::move(done);
        log_->closed = false;
        log_->inFlight.clear();
        return std::unique_ptr<MidiStream>(std::make_unique<CapturingStream>(log_));
    }

  private:
    std::shared_ptr<CaptureLog> log_;
};

// Points `midi`'s playback at one RecordingOutput device on `clock`.
inline std::shared_ptr<MessageLog> installRecorder(MidiSystem& midi,
                                                   std::shared_ptr<MidiClock> clock) {
    return installRecordingDevice(midi, std::move(clock));
}

inline MidiEvent noteOn(std::uint32_t time, std::uint8_t key, std::uint8_t velocity = 100,
                        std::uint8_t channel = 0) {
    return {time, static_cast<std::uint8_t>(0x90 | channel), key, velocity};
}
inline MidiEvent noteOff(std::uint32_t time, std::uint8_t key, std::uint8_t channel = 0) {
    return noteOn(time, key, 0, channel);
}

// A song whose tracks hold `events` (sorted), with its derived fields set.
inline MidiSong makeSong(std::vector<std::vector<MidiEvent>> tracks, std::uint16_t ppqn = 120,
                         double tempo = 120.0) {
    MidiSong song;
    song.ppqn = ppqn;
    song.tempo = tempo;
    for (std::size_t i = 0; i < tracks.size() && i < song.tracks.size(); ++i) {
        song.tracks[i].name = "Track";
        song.tracks[i].events = std::move(tracks[i]);
    }
    midiSongCountEvents(song);
    midiSongComputeLength(song);
    EXPECT_EQ(midiSongSortTracks(song), MidiResult::kOk);
    return song;
}

// Every event of the song's tracks in the order playback sends them: by
// time, a lower track first.
inline std::vector<MidiEvent> mergedEvents(const MidiSong& song) {
    std::vector<MidiEvent> merged;
    for (const MidiTrack& track : song.tracks)
        merged.insert(merged.end(), track.events.begin(), track.events.end());
    EXPECT_EQ(midiSortEvents(merged), MidiResult::kOk);
    return merged;
}

inline std::vector<MidiStreamRecord> recordsOf(const MidiStreamBuffer& buffer) {
    std::vector<MidiStreamRecord> records;
    for (std::size_t i = 0; i < buffer.recordCount(); ++i)
        records.push_back(midiStreamReadRecord(buffer, i));
    return records;
}

// Sounding count per channel and key after the messages; all zero when
// every note-on has its note-off.
inline std::map<int, int> soundingNotes(const std::vector<RecordedMessage>& messages) {
    std::map<int, int> sounding;
    for (const auto& m : messages) {
        const int status = midiMessageStatus(m.message);
        const int key = ((status & 0x0F) << 8) | midiMessageData1(m.message);
        if ((status & 0xF0) == 0x90 && midiMessageData2(m.message) > 0) ++sounding[key];
        if ((((status & 0xF0) == 0x90 && midiMessageData2(m.message) == 0) ||
             (status & 0xF0) == 0x80) &&
            sounding[key] > 0)
            --sounding[key];  // a note-off of a silent note is harmless
    }
    std::erase_if(sounding, [](const auto& entry) { return entry.second == 0; });
    return sounding;
}

}  // namespace halvorn::test

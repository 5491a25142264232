#include "midi/smf.h"

#include <cmath>
#include <new>
#include <stdexcept>

#include "midi/tempo.h"
#include "model/byte_cursor.h"
#include "model/output_file.h"

namespace halvorn {

namespace {

// Number of bytes of the VLQ encoding of `value`.
int vlqLength(std::uint32_t value) {
    int length = 1;
    while (value >= 128) {
        value >>= 7;
        ++length;
    }
    return length;
}

constexpr std::uint8_t kMetaText = 0x01;
constexpr std::uint8_t kMetaCopyright = 0x02;
constexpr std::uint8_t kMetaTrackName = 0x03;
constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
constexpr std::uint8_t kMetaTempo = 0x51;
constexpr std::uint8_t kMetaTimeSignature = 0x58;
constexpr std::uint8_t kMetaKeySignature = 0x59;

// The time signature's fixed bytes: the denominator as a power of two (a
// quarter note), MIDI clocks per metronome click (one a quarter note) and
// thirty-second notes per quarter note.
constexpr std::uint8_t kQuarterNoteDenominator = 0x02;
constexpr std::uint8_t kClocksPerMetronomeClick = 0x18;
constexpr std::uint8_t kThirtySecondsPerQuarter = 0x08;

// The shared cursor, plus the format's variable-length quantities and
// text events. Appends into a buffer reserved by the length pass.
class ByteWriter {
  public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : sink_(out) {}
    void byte(std::uint8_t value) { sink_.byte(value); }
    void bytes(const void* data, std::size_t size) {
        sink_.bytes({static_cast<const std::uint8_t*>(data), size});
    }
    void be16(std::uint16_t value) { sink_.be16(value); }
    void be32(std::uint32_t value) { sink_.be32(value); }
    void vlq(std::uint32_t value) {
        std::uint8_t groups[5];
        int n = 0;
        do {
            groups[n++] = value & 0x7F;
            value >>= 7;
        } while (value != 0);
        while (n > 1) byte(groups[--n] | 0x80);
        byte(groups[0]);
    }
    void text(std::uint8_t type, const std::string& value) {
        byte(0x00);
        byte(0xFF);
        byte(type);
        vlq(static_cast<std::uint32_t>(value.size()));
        bytes(value.data(), value.size());
    }

  private:
    ByteSink sink_;
};

std::uint64_t textEventLength(const std::string& text) {
    return 3 + vlqLength(static_cast<std::uint32_t>(text.size())) + text.size();
}

bool textFits(const std::optional<std::string>& text) {
    return !text || text->size() <= kMaxVlqValue;
}

std::uint64_t conductorLength(const MidiSong& song) {
    std::uint64_t length = 25;
    for (const auto* text : {&song.title, &song.copyright, &song.comments})
        if (*text) length += textEventLength(**text);
    return length;
}

// Length of a track chunk's body, or nothing when the track cannot be written.
std::optional<std::uint64_t> trackLength(const MidiTrack& track) {
    const std::string& name = track.name ? *track.name : std::string();
    if (name.size() > kMaxVlqValue) return std::nullopt;
    std::uint64_t length = textEventLength(name) + 4;
    std::uint32_t previousTime = 0;
    std::uint8_t runningStatus = 0;
    for (const MidiEvent& event : track.events) {
        const std::uint32_t delta = event.time - previousTime;
        // Unsorted times, bytes that are not channel statuses and deltas beyond
        // a four-byte VLQ would make a file that no reader could follow.
        if (event.time < previousTime || delta > kMaxVlqValue) return std::nullopt;
        if (event.status < 0x80 || event.status >= 0xF0) return std::nullopt;
        // A data byte of 0x80 or more would be read as a status: the reader
        // would lose its step (0xFF is what a read leaves for an absent one,
        // never written).
        const int dataBytes = midiDataByteCount(event.status);
        if ((dataBytes >= 1 && event.data1 >= 0x80) || (dataBytes == 2 && event.data2 >= 0x80))
            return std::nullopt;
        length +=
            vlqLength(delta) + (event.status != runningStatus) + midiDataByteCount(event.status);
        runningStatus = event.status;
        previousTime = event.time;
    }
    return length;
}

void writeConductor(ByteWriter& out, const MidiSong& song) {
    out.bytes("MTrk", 4);
    out.be32(static_cast<std::uint32_t>(conductorLength(song)));
    if (song.title) out.text(kMetaTrackName, *song.title);
    if (song.copyright) out.text(kMetaCopyright, *song.copyright);
    if (song.comments) out.text(kMetaText, *song.comments);
    const std::uint32_t tempo = smfMicrosecondsPerQuarter(song.tempo);
    const std::uint8_t tempoEvent[] = {0x00,
                                       0xFF,
                                       kMetaTempo,
                                       0x03,
                                       static_cast<std::uint8_t>(tempo >> 16),
                                       static_cast<std::uint8_t>(tempo >> 8),
                                       static_cast<std::uint8_t>(tempo)};
    out.bytes(tempoEvent, sizeof tempoEvent);
    const std::uint8_t signatures[] = {0x00,
                                       0xFF,
                                       kMetaTimeSignature,
                                       0x04,
                                       song.timeSignatureNumerator,
                                       kQuarterNoteDenominator,
                                       kClocksPerMetronomeClick,
                                       kThirtySecondsPerQuarter,
                                       0x00,
                                       0xFF,
                                       kMetaKeySignature,
                                       0x02,
                                       static_cast<std::uint8_t>(song.keySharps),
                                       song.keyMinor};
    out.bytes(signatures, sizeof signatures);
    const std::uint8_t endOfTrack[] = {0x01, 0xFF, kMetaEndOfTrack, 0x00};
    out.bytes(endOfTrack, sizeof endOfTrack);
}

void writeTrack(ByteWriter& out, const MidiTrack& track, std::uint32_t length) {
    out.bytes("MTrk", 4);
    out.be32(length);
    out.text(kMetaTrackName, track.name ? *track.name : std::string());
    std::uint32_t previousTime = 0;
    std::uint8_t runningStatus = 0;
    for (const MidiEvent& event : track.events) {
        out.vlq(event.time - previousTime);
        if (event.status != runningStatus) out.byte(event.status);
        const int dataBytes = midiDataByteCount(event.status);
        if (dataBytes >= 1) out.byte(event.data1);
        if (dataBytes == 2) out.byte(event.data2);
        runningStatus = event.status;
        previousTime = event.time;
    }
    const std::uint8_t endOfTrack[] = {0x01, 0xFF, kMetaEndOfTrack, 0x00};
    out.bytes(endOfTrack, sizeof endOfTrack);
}

}  // namespace

MidiResult midiSongEncode(const MidiSong* song, std::vector<std::uint8_t>& bytes) {
    if (!song) return MidiResult::kNoSong;
    if (song->ppqn == 0 || song->ppqn > 0x7FFF) return MidiResult::kNotSmf;  // bit 15 means SMPTE
    std::vector<std::pair<const MidiTrack*, std::uint32_t>> used;
    for (const MidiTrack& track : song->tracks) {
        if (track.events.empty()) continue;
        const auto length = trackLength(track);
        if (!length || *length > UINT32_MAX) return MidiResult::kNotSmf;
        used.emplace_back(&track, static_cast<std::uint32_t>(*length));
    }
    if (used.empty()) return MidiResult::kNothingToDo;
    if (!textFits(song->title) || !textFits(song->copyright) || !textFits(song->comments))
        return MidiResult::kNotSmf;

    std::uint64_t total = 14 + 8 + conductorLength(*song);
    for (const auto& [track, length] : used) total += 8 + std::uint64_t{length};
    // A song of many million events makes a file beyond what memory holds.
    try {
        bytes.clear();
        bytes.reserve(total);
    } catch (const std::bad_alloc&) {
        return MidiResult::kOutOfMemory;
    } catch (const std::length_error&) {
        return MidiResult::kOutOfMemory;
    }
    ByteWriter out(bytes);
    out.bytes("MThd", 4);
    out.be32(6);
    out.be16(1);
    out.be16(static_cast<std::uint16_t>(used.size() + 1));
    out.be16(song->ppqn);
    writeConductor(out, *song);
    for (const auto& [track, length] : used) writeTrack(out, *track, length);
    return MidiResult::kOk;
}

MidiResult midiSongWriteFile(const std::string& path, const MidiSong* song) {
    std::vector<std::uint8_t> bytes;
    const MidiResult result = midiSongEncode(song, bytes);
    if (result != MidiResult::kOk) return result;
    return writeFileSafely(path, bytes) ? MidiResult::kOk : MidiResult::kCannotOpen;
}

Expected<void, Error> midiSongSave(const std::string& path, const MidiSong& song) {
    const auto failed = [&path](const std::string& reason) {
        return unexpected(fileError("Unable to save MIDI file.", path, reason));
    };
    std::vector<std::uint8_t> bytes;
    switch (const MidiResult encoded = midiSongEncode(&song, bytes)) {
        case MidiResult::kOk:
            break;
        case MidiResult::kNothingToDo:
            return failed("No track has any notes");
        case MidiResult::kNotSmf:
            return failed("The song holds events, times or texts that a MIDI file cannot store");
        case MidiResult::kOutOfMemory:
            return failed("Not enough memory");
        default:
            return failed("Error " + std::to_string(static_cast<int>(encoded)));
    }
    if (const auto written = writeFileSafely(path, bytes); !written)
        return failed(systemErrorText(written.error()));
    return {};
}

}  // namespace halvorn

#include "midi/smf.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "model/byte_cursor.h"
#include "model/file_io.h"

namespace halvorn {
namespace {

// Thrown inside the decoder for any malformed input, with what is wrong;
// never escapes decodeReporting.
struct MalformedFile {
    std::string reason;
};

std::string hexByte(std::uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// The shared bounds-checked cursor over the file or one of its chunks,
// plus the format's variable-length quantities and texts. Offsets are the
// file's.
class ByteReader : public ByteSource {
  public:
    ByteReader(std::span<const std::uint8_t> bytes, std::size_t fileOffset = 0)
        : ByteSource(bytes), fileOffset_(fileOffset) {}

    std::size_t offset() const { return fileOffset_ + position(); }

    // At most four bytes, as the format allows.
    std::uint32_t vlq() {
        const std::size_t at = offset();
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const std::uint8_t b = byte();
            value = value << 7 | (b & 0x7F);
            if (!(b & 0x80)) return value;
        }
        throw MalformedFile{"the number at byte " + std::to_string(at) +
                            " is longer than four bytes"};
    }
    std::string text() {
        const auto data = take(vlq());
        return std::string(data.begin(), data.end());
    }

  private:
    std::size_t fileOffset_;
};

constexpr std::uint8_t kMeta = 0xFF;
constexpr std::uint8_t kSysex = 0xF0;
constexpr std::uint8_t kEscape = 0xF7;

class TrackChunkReader {
  public:
    TrackChunkReader(ByteReader chunk, MidiSong& song, bool firstChunk)
        : in_(chunk), song_(song), firstChunk_(firstChunk) {}

    void read() {
        reserveForChunk();
        while (!endOfTrack_) {
            time_ += in_.vlq();
            if (time_ > UINT32_MAX)
                throw MalformedFile{"the time at byte " + std::to_string(in_.offset()) +
                                    " is beyond what a song can hold"};
            readEvent(statusFor(in_.byte()));
        }
    }

  private:
    // Channel events take at least three bytes with running status; growing
    // geometrically keeps many small chunks linear.
    void reserveForChunk() {
        std::vector<MidiEvent>& events = song_.tracks[0].events;
        const std::size_t needed = events.size() + in_.remaining() / 3;
        if (needed > events.capacity()) events.reserve(std::max(needed, 2 * events.capacity()));
    }

    // A data byte in status position repeats the running status.
    std::uint8_t statusFor(std::uint8_t first) {
        if (first & 0x80) {
            // Meta and system exclusive events cancel running status.
            runningStatus_ = (first == kMeta || first == kSysex || first == kEscape) ? 0 : first;
            return first;
        }
        if (runningStatus_ == 0)
            throw MalformedFile{"the data byte at byte " + std::to_string(in_.offset() - 1) +
                                " follows no status byte"};
        pendingData_ = first;
        return runningStatus_;
    }

    // A byte with bit 7 set is a status, never data: taking it as data (and
    // writing it again) would make a file whose reader loses its step.
    std::uint8_t dataByte() {
        if (pendingData_) {
            const std::uint8_t value = *pendingData_;
            pendingData_.reset();
            return value;
        }
        const std::uint8_t value = in_.byte();
        if (value & 0x80)
            throw MalformedFile{"byte " + std::to_string(in_.offset() - 1) + " (" + hexByte(value) +
                                ") stands where a data byte belongs"};
        return value;
    }

    void readEvent(std::uint8_t status) {
        if (status == kMeta) {
            readMeta(in_.byte());
        } else if (status == kSysex || status == kEscape) {
            in_.skip(in_.vlq());
        } else {
            MidiEvent event{static_cast<std::uint32_t>(time_), status, 0xFF, 0xFF};
            const int dataBytes = midiDataByteCount(status);
            if (dataBytes >= 1) event.data1 = dataByte();
            if (dataBytes == 2) event.data2 = dataByte();
            song_.tracks[channelPrefix_].events.push_back(event);
        }
    }

    void readMeta(std::uint8_t type) {
        switch (type) {
            case 0x01:
                song_.comments = in_.text();
                return;
            case 0x02:
                song_.copyright = in_.text();
                return;
            case 0x03:
                if (firstChunk_ && channelPrefix_ == 0)
                    song_.title = in_.text();
                else
                    song_.tracks[channelPrefix_].name = in_.text();
                return;
            case 0x04:
                song_.tracks[channelPrefix_].name = in_.text();
                return;
            case 0x20:
                readChannelPrefix();
                return;
            case 0x2F:
                in_.skip(in_.vlq());
                endOfTrack_ = true;
                return;
            case 0x51:
                readTempo();
                return;
            default:
                in_.skip(in_.vlq());
                return;
        }
    }

    void readChannelPrefix() {
        const std::size_t at = in_.offset();
        const std::uint32_t length = in_.vlq();
        if (length < 1)
            throw MalformedFile{"the channel prefix at byte " + std::to_string(at) + " is empty"};
        const auto data = in_.take(length);
        if (data[0] >= kMidiTrackSlots)
            throw MalformedFile{"the channel prefix at byte " + std::to_string(at) +
                                " names channel " + std::to_string(data[0])};
        channelPrefix_ = data[0];
    }

    void readTempo() {
        const std::size_t at = in_.offset();
        const std::uint32_t length = in_.vlq();
        if (length < 3)
            throw MalformedFile{"the tempo at byte " + std::to_string(at) + " is too short"};
        const auto t = in_.take(length);
        const std::uint32_t microseconds = std::uint32_t{t[0]} << 16 | t[1] << 8 | t[2];
        if (microseconds != 0) song_.tempo = 60000000.0 / microseconds;  // 0 has no tempo
    }

    ByteReader in_;
    MidiSong& song_;
    const bool firstChunk_;
    std::uint64_t time_ = 0;
    std::uint8_t runningStatus_ = 0;
    std::optional<std::uint8_t> pendingData_;
    std::uint8_t channelPrefix_ = 0;
    bool endOfTrack_ = false;
};

bool hasTag(std::span<const std::uint8_t> bytes, std::string_view tag) {
    return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()) == tag;
}

MidiResult decodeInto(ByteReader& in, MidiSong& song, std::string& why) {
    if (in.remaining() < 14 || !hasTag(in.take(4), "MThd") || in.be32() != 6) {
        why = "Not a Standard MIDI File";
        return MidiResult::kNotSmf;
    }
    if (const std::uint16_t format = in.be16(); format != 1) {
        why = "A MIDI file of format " + std::to_string(format) + ", not 1";
        return MidiResult::kUnsupportedFormat;
    }
    const std::uint16_t chunkCount = in.be16();
    if (chunkCount == 0) {
        why = "The MIDI file has no tracks";
        return MidiResult::kNothingToDo;
    }
    const std::uint16_t division = in.be16();
    song.ppqn = (division & 0x8000) ? 120 : division;

    for (std::uint16_t index = 0; index < chunkCount; ++index) {
        const auto type = in.take(4);
        const std::uint32_t length = in.be32();
        const std::size_t start = in.offset();
        ByteReader chunk(in.take(length), start);
        if (hasTag(type, "MTrk")) TrackChunkReader(chunk, song, index == 0).read();
    }
    midiSongCountEvents(song);
    midiSongComputeLength(song);
    return midiSongSortTracks(song);
}

// midiSongDecode with the reason for any other result than kOk in `why`.
MidiResult decodeReporting(std::span<const std::uint8_t> bytes, MidiSong* song, std::string& why) {
    if (!song) return MidiResult::kNoSong;
    MidiSong decoded;
    midiSongReset(&decoded);
    MidiResult result = MidiResult::kOk;
    try {
        ByteReader in(bytes);
        result = decodeInto(in, decoded, why);
    } catch (const MalformedFile& malformed) {
        why = "Damaged MIDI file: " + malformed.reason;
        return MidiResult::kNotSmf;
    } catch (const TruncatedInput&) {
        why = "Damaged MIDI file: it ends inside a chunk";
        return MidiResult::kNotSmf;
    } catch (const std::bad_alloc&) {
        why = "Not enough memory";
        return MidiResult::kOutOfMemory;
    }
    if (result == MidiResult::kOutOfMemory) why = "Not enough memory";
    if (result == MidiResult::kOk) *song = std::move(decoded);
    return result;
}

}  // namespace

MidiResult midiSongDecode(std::span<const std::uint8_t> bytes, MidiSong* song) {
    std::string ignored;
    return decodeReporting(bytes, song, ignored);
}

MidiResult midiSongReadFile(const std::string& path, MidiSong* song) {
    if (!song) return MidiResult::kNoSong;
    const auto bytes = readWholeFile(path);
    if (!bytes) return MidiResult::kCannotOpen;
    return midiSongDecode(*bytes, song);
}

Expected<void, Error> midiSongLoad(const std::string& path, MidiSong& song) {
    const auto failed = [&path](const std::string& reason, ErrorCode code) {
        return unexpected(fileError("Unable to read MIDI file.", path, reason, code));
    };
    const auto bytes = readWholeFile(path);
    if (!bytes) return failed(systemErrorText(bytes.error()), ErrorCode::kFileAccess);
    std::string why;
    switch (decodeReporting(*bytes, &song, why)) {
        case MidiResult::kOk:
            return {};
        case MidiResult::kOutOfMemory:
            return failed(why, ErrorCode::kOutOfMemory);
        default:
            return failed(why, ErrorCode::kBadFormat);
    }
}

}  // namespace halvorn

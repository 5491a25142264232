#include "midi/smf.h"

#include <algorithm>
#include <new>
#include <optional>
#include <string_view>

#include "model/byte_cursor.h"
#include "model/file_io.h"

namespace halvorn {
namespace {

// Thrown inside the decoder for any malformed or truncated input; never
// escapes midiSongDecode.
struct MalformedFile {};

// The shared bounds-checked cursor, plus the format's variable-length
// quantities and texts.
class ByteReader : public ByteSource {
  public:
    using ByteSource::ByteSource;

    // At most four bytes, as the format allows.
    std::uint32_t vlq() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const std::uint8_t b = byte();
            value = value << 7 | (b & 0x7F);
            if (!(b & 0x80)) return value;
        }
        throw MalformedFile{};
    }
    std::string text() {
        const auto data = take(vlq());
        return std::string(data.begin(), data.end());
    }
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
            if (time_ > UINT32_MAX) throw MalformedFile{};
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
        if (runningStatus_ == 0) throw MalformedFile{};
        pendingData_ = first;
        return runningStatus_;
    }

    std::uint8_t dataByte() {
        if (pendingData_) {
            const std::uint8_t value = *pendingData_;
            pendingData_.reset();
            return value;
        }
        return in_.byte();
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
        const std::uint32_t length = in_.vlq();
        if (length < 1) throw MalformedFile{};
        const auto data = in_.take(length);
        if (data[0] >= kMidiTrackSlots) throw MalformedFile{};
        channelPrefix_ = data[0];
    }

    void readTempo() {
        const std::uint32_t length = in_.vlq();
        if (length < 3) throw MalformedFile{};
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

MidiResult decodeInto(ByteReader& in, MidiSong& song) {
    if (in.remaining() < 14 || !hasTag(in.take(4), "MThd")) return MidiResult::kNotSmf;
    if (in.be32() != 6) return MidiResult::kNotSmf;
    if (in.be16() != 1) return MidiResult::kUnsupportedFormat;
    const std::uint16_t chunkCount = in.be16();
    if (chunkCount == 0) return MidiResult::kNothingToDo;
    const std::uint16_t division = in.be16();
    song.ppqn = (division & 0x8000) ? 120 : division;

    for (std::uint16_t index = 0; index < chunkCount; ++index) {
        const auto type = in.take(4);
        const std::uint32_t length = in.be32();
        ByteReader chunk(in.take(length));
        if (hasTag(type, "MTrk")) TrackChunkReader(chunk, song, index == 0).read();
    }
    midiSongCountEvents(song);
    midiSongComputeLength(song);
    return midiSongSortTracks(song);
}

}  // namespace

MidiResult midiSongDecode(std::span<const std::uint8_t> bytes, MidiSong* song) {
    if (!song) return MidiResult::kNoSong;
    MidiSong decoded;
    midiSongReset(&decoded);
    try {
        ByteReader in(bytes);
        const MidiResult result = decodeInto(in, decoded);
        if (result != MidiResult::kOk) return result;
    } catch (const MalformedFile&) {
        return MidiResult::kNotSmf;
    } catch (const TruncatedInput&) {
        return MidiResult::kNotSmf;
    } catch (const std::bad_alloc&) {
        return MidiResult::kOutOfMemory;
    }
    *song = std::move(decoded);
    return MidiResult::kOk;
}

MidiResult midiSongReadFile(const std::string& path, MidiSong* song) {
    if (!song) return MidiResult::kNoSong;
    const auto bytes = readWholeFile(path);
    if (!bytes) return MidiResult::kCannotOpen;
    return midiSongDecode(*bytes, song);
}

}  // namespace halvorn

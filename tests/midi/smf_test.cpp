#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "midi/smf.h"
#include "midi/tempo.h"
#include "model/file_io.h"
#include "model/output_file.h"
#include "tests/support/test_support.h"

namespace halvorn {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

MidiSong bassSong() {
    MidiSong song;
    song.tracks[0].name = "Bass";
    song.tracks[0].events = {{0, 0x90, 0x3C, 0x64}, {119, 0x90, 0x3C, 0x00}};
    return song;
}

Bytes encode(const MidiSong& song) {
    Bytes bytes;
    EXPECT_EQ(midiSongEncode(&song, bytes), MidiResult::kOk);
    return bytes;
}

Bytes slice(const Bytes& bytes, std::size_t from, std::size_t count) {
    return Bytes(bytes.begin() + from, bytes.begin() + from + count);
}

using TempDir = test::ScratchDirectoryTest;

TEST(SmfWriter, WritesTheWorkedExampleByteForByte) {
    const Bytes expected = {
        0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00, 0x01, 0x00, 0x02, 0x00, 0x78,
        // conductor
        0x4D, 0x54, 0x72, 0x6B, 0x00, 0x00, 0x00, 0x19, 0x00, 0xFF, 0x51, 0x03, 0x09, 0x27, 0xC0,
        0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08, 0x00, 0xFF, 0x59, 0x02, 0x00, 0x00, 0x01,
        0xFF, 0x2F, 0x00,
        // track
        0x4D, 0x54, 0x72, 0x6B, 0x00, 0x00, 0x00, 0x13, 0x00, 0xFF, 0x03, 0x04, 0x42, 0x61, 0x73,
        0x73, 0x00, 0x90, 0x3C, 0x64, 0x77, 0x3C, 0x00, 0x01, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(encode(bassSong()), expected);
}

TEST(SmfWriter, TempoIsTruncatedMicrosecondsPerQuarter) {
    for (const auto& [tempo, b0, b1, b2] : {std::tuple{100.0, 0x09, 0x27, 0xC0},
                                            {120.0, 0x07, 0xA1, 0x20},
                                            {70.0, 0x0D, 0x14, 0x36}}) {
        MidiSong song = bassSong();
        song.tempo = tempo;
        EXPECT_EQ(slice(encode(song), 26, 3),
                  (Bytes{std::uint8_t(b0), std::uint8_t(b1), std::uint8_t(b2)}))
            << tempo;
    }
}

// What the stream plays at is what the file says: both truncate.
TEST(SmfWriter, PlaybackTempoIsTheFilesTempo) {
    EXPECT_EQ(microsecondsPerQuarter(70.0), std::optional<std::uint32_t>(857142));
    for (const double tempo : {40.0, 70.0, 97.0, 133.0, 300.0})
        EXPECT_EQ(microsecondsPerQuarter(tempo), smfMicrosecondsPerQuarter(tempo)) << tempo;
}

TEST(SmfWriter, TextsGrowTheConductorByTheirEncodedSize) {
    MidiSong song = bassSong();
    song.title = std::string(200, 'T');
    song.copyright = "";
    const Bytes bytes = encode(song);
    // 25 + 205 for the title (00 FF 03 81 48 + 200 bytes) + 4 for the empty copyright.
    EXPECT_EQ(slice(bytes, 18, 4), (Bytes{0, 0, 0, 25 + 205 + 4}));
    EXPECT_EQ(slice(bytes, 22, 5), (Bytes{0x00, 0xFF, 0x03, 0x81, 0x48}));
    EXPECT_EQ(slice(bytes, 22 + 205, 4), (Bytes{0x00, 0xFF, 0x02, 0x00}));
}

TEST(SmfWriter, RunningStatusOmitsRepeatedStatusBytes) {
    MidiSong song;
    song.tracks[0].name = "";
    song.tracks[0].events = {{0, 0x90, 60, 100}, {0, 0x90, 64, 100}, {10, 0x80, 60, 0},
                             {10, 0xC0, 5, 0},   {300, 0x90, 64, 0}, {300, 0x90, 67, 1}};
    const Bytes bytes = encode(song);
    const std::size_t track = 14 + 8 + 25;
    const Bytes body(bytes.begin() + track + 8, bytes.end());
    const Bytes expected = {0x00, 0xFF, 0x03, 0x00,                   // empty name
                            0x00, 0x90, 60,   100,  0x00, 64,   100,  // status once
                            0x0A, 0x80, 60,   0,                      // new status
                            0x00, 0xC0, 5,                            // one data byte
                            0x82, 0x22, 0x90, 64,   0,                // back: written again
                            0x00, 67,   1,    0x01, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(body, expected);
    EXPECT_EQ(slice(bytes, track + 4, 4), (Bytes{0, 0, 0, std::uint8_t(expected.size())}));
}

TEST(SmfWriter, OnlySlotSevenUsed) {
    MidiSong song;
    song.tracks[7].name = "Seven";
    song.tracks[7].events = {{0, 0x97, 40, 90}, {60, 0x97, 40, 0}};
    const Bytes bytes = encode(song);
    EXPECT_EQ(slice(bytes, 10, 2), (Bytes{0, 2}));
    EXPECT_EQ(slice(bytes, 14 + 8 + 25 + 8 + 9, 4), (Bytes{0x00, 0x97, 40, 90}));
}

TEST(SmfWriter, RefusesSongsItCannotExpress) {
    Bytes bytes;
    EXPECT_EQ(midiSongEncode(nullptr, bytes), MidiResult::kNoSong);
    MidiSong empty;
    EXPECT_EQ(midiSongEncode(&empty, bytes), MidiResult::kNothingToDo);

    MidiSong unsorted = bassSong();
    std::swap(unsorted.tracks[0].events[0], unsorted.tracks[0].events[1]);
    EXPECT_EQ(midiSongEncode(&unsorted, bytes), MidiResult::kNotSmf);

    MidiSong dataAsStatus = bassSong();
    dataAsStatus.tracks[0].events[1].status = 0x3C;
    EXPECT_EQ(midiSongEncode(&dataAsStatus, bytes), MidiResult::kNotSmf);

    MidiSong farApart = bassSong();
    farApart.tracks[0].events[1].time = kMaxVlqValue + 1;
    EXPECT_EQ(midiSongEncode(&farApart, bytes), MidiResult::kNotSmf);

    // A data byte of 0x80 or more would be read back as a status byte.
    for (const MidiEvent statusAsData :
         {MidiEvent{119, 0x90, 0x80, 0}, MidiEvent{119, 0x90, 0x3C, 0xFF},
          MidiEvent{119, 0xC0, 0xFF, 0xFF}, MidiEvent{119, 0xE0, 0x00, 0x81}}) {
        MidiSong song = bassSong();
        song.tracks[0].events[1] = statusAsData;
        EXPECT_EQ(midiSongEncode(&song, bytes), MidiResult::kNotSmf)
            << int{statusAsData.status} << " " << int{statusAsData.data1};
    }
    // The absent second byte of a one-byte message is never written.
    MidiSong program = bassSong();
    program.tracks[0].events[1] = {119, 0xC0, 0x05, 0xFF};
    EXPECT_EQ(slice(encode(program), 14 + 8 + 25 + 8 + 8 + 4, 3), (Bytes{0x77, 0xC0, 0x05}));
}

TEST_F(TempDir, WriterCreatesNoFileForAnEmptySong) {
    MidiSong empty;
    EXPECT_EQ(midiSongWriteFile(path("empty.mid"), &empty), MidiResult::kNothingToDo);
    EXPECT_EQ(midiSongWriteFile(path("null.mid"), nullptr), MidiResult::kNoSong);
    EXPECT_EQ(fileCount(), 0u);
}

TEST_F(TempDir, WriterReportsFailureAndLeavesNothingBehind) {
    const MidiSong song = bassSong();
    EXPECT_EQ(midiSongWriteFile(path("missing/dir/out.mid"), &song), MidiResult::kCannotOpen);
    fs::create_directory(path("a-directory"));
    EXPECT_EQ(midiSongWriteFile(path("a-directory"), &song), MidiResult::kCannotOpen);
    EXPECT_EQ(fileCount(), 1u);  // only the directory
}

TEST_F(TempDir, FailedWriteKeepsTheExistingFile) {
    const std::string target = path("keep.mid");
    { std::ofstream(target) << "precious"; }
    MidiSong big = bassSong();
    for (std::uint32_t i = 0; i < 100000; ++i) big.tracks[1].events.push_back({i, 0x91, 1, 1});
    big.tracks[1].name = "big";

    // A file-size limit makes the write itself fail part-way.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &limited);
    const MidiResult result = midiSongWriteFile(target, &big);
    setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_EQ(result, MidiResult::kCannotOpen);
    EXPECT_EQ(fileCount(), 1u);
    std::ifstream in(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious");
}

TEST(SmfWriter, DeltasAtEveryVlqLengthBoundaryWriteAndReadBack) {
    // Deltas 127 and 128 straddle the first boundary; the note at tick 2^21
    // is the first whose delta from 0 needs four bytes.
    MidiSong song;
    song.tracks[0].name = "";
    song.tracks[0].events = {{127, 0x90, 60, 1},
                             {255, 0x90, 60, 0},
                             {255 + 16384, 0x90, 61, 1},
                             {1u << 21, 0x90, 61, 0}};
    const Bytes bytes = encode(song);
    const std::size_t body = 14 + 8 + 25 + 8 + 4;  // past the empty track name
    EXPECT_EQ(slice(bytes, body, 4), (Bytes{0x7F, 0x90, 60, 1}));
    EXPECT_EQ(slice(bytes, body + 4, 4), (Bytes{0x81, 0x00, 60, 0}));  // 128
    EXPECT_EQ(slice(bytes, body + 8, 5), (Bytes{0x81, 0x80, 0x00, 61, 1}));
    const std::uint32_t last = (1u << 21) - (255 + 16384);
    EXPECT_EQ(slice(bytes, body + 13, 4),
              (Bytes{static_cast<std::uint8_t>(0x80 | last >> 14),
                     static_cast<std::uint8_t>(0x80 | (last >> 7 & 0x7F)),
                     static_cast<std::uint8_t>(last & 0x7F), 61}));

    MidiSong alone;
    alone.tracks[0].events = {{1u << 21, 0x90, 62, 100}};
    MidiSong read;
    ASSERT_EQ(midiSongDecode(encode(alone), &read), MidiResult::kOk);
    EXPECT_EQ(read.tracks[0].events, (std::vector<MidiEvent>{{1u << 21, 0x90, 62, 100}}));
    ASSERT_EQ(midiSongDecode(bytes, &read), MidiResult::kOk);
    EXPECT_EQ(read.tracks[0].events, song.tracks[0].events);
}

TEST_F(TempDir, RoundTripMergesTracksIntoSlotZero) {
    MidiSong song = bassSong();
    song.title = "Title";
    song.copyright = "Someone";
    song.comments = "Notes";
    song.tempo = 120.0;
    song.ppqn = 384;
    song.tracks[4].name = "Lead";
    song.tracks[4].events = {{5, 0x94, 70, 80}, {1000, 0x94, 70, 0}};
    ASSERT_EQ(midiSongWriteFile(path("song.mid"), &song), MidiResult::kOk);

    MidiSong read;
    ASSERT_EQ(midiSongReadFile(path("song.mid"), &read), MidiResult::kOk);
    EXPECT_EQ(read.tempo, 120.0);
    EXPECT_EQ(read.ppqn, 384);
    EXPECT_EQ(read.title, "Title");
    EXPECT_EQ(read.copyright, "Someone");
    EXPECT_EQ(read.comments, "Notes");
    EXPECT_EQ(read.tracks[0].name, "Lead");  // the last track chunk's name
    const std::vector<MidiEvent> merged = {
        {0, 0x90, 0x3C, 0x64}, {5, 0x94, 70, 80}, {119, 0x90, 0x3C, 0x00}, {1000, 0x94, 70, 0}};
    EXPECT_EQ(read.tracks[0].events, merged);
    EXPECT_EQ(read.eventCount, 4u);
    EXPECT_EQ(read.lengthTicks, 1000u);
}

// --- Reader on hand-made files ---

Bytes header(std::uint16_t chunks, std::uint16_t division = 96) {
    return {'M',
            'T',
            'h',
            'd',
            0,
            0,
            0,
            6,
            0,
            1,
            std::uint8_t(chunks >> 8),
            std::uint8_t(chunks),
            std::uint8_t(division >> 8),
            std::uint8_t(division)};
}

Bytes chunk(const Bytes& body, const char* type = "MTrk") {
    Bytes out(type, type + 4);
    const auto n = static_cast<std::uint32_t>(body.size());
    out.insert(out.end(), {std::uint8_t(n >> 24), std::uint8_t(n >> 16), std::uint8_t(n >> 8),
                           std::uint8_t(n)});
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes file(std::initializer_list<Bytes> parts, std::uint16_t division = 96) {
    Bytes out = header(static_cast<std::uint16_t>(parts.size()), division);
    for (const Bytes& part : parts) std::copy(part.begin(), part.end(), std::back_inserter(out));
    return out;
}

MidiResult decode(const Bytes& bytes, MidiSong& song) {
    return midiSongDecode(bytes, &song);
}

const Bytes kEnd = {0x00, 0xFF, 0x2F, 0x00};

Bytes withEnd(Bytes body) {
    body.insert(body.end(), kEnd.begin(), kEnd.end());
    return body;
}

TEST(SmfReader, HeaderChecks) {
    MidiSong song;
    Bytes bad = header(1);
    bad[0] = 'X';
    EXPECT_EQ(decode(bad, song), MidiResult::kNotSmf);
    bad = header(1);
    bad[7] = 7;
    EXPECT_EQ(decode(bad, song), MidiResult::kNotSmf);
    bad = header(1);
    bad[9] = 0;
    EXPECT_EQ(decode(bad, song), MidiResult::kUnsupportedFormat);
    EXPECT_EQ(decode(header(0), song), MidiResult::kNothingToDo);
    EXPECT_EQ(decode(Bytes{'M', 'T', 'h'}, song), MidiResult::kNotSmf);
    EXPECT_EQ(midiSongDecode(header(1), nullptr), MidiResult::kNoSong);
    EXPECT_EQ(midiSongReadFile("/nonexistent/file.mid", &song), MidiResult::kCannotOpen);
}

TEST(SmfReader, SmpteDivisionReadsAs120AndTempoIsExact) {
    MidiSong song;
    const Bytes tempo = withEnd({0x00, 0xFF, 0x51, 0x03, 0x0D, 0x14, 0x36});
    ASSERT_EQ(decode(file({chunk(tempo)}, 0xE728), song), MidiResult::kOk);
    EXPECT_EQ(song.ppqn, 120);
    EXPECT_EQ(song.tempo, 60000000.0 / 857142);
}

TEST(SmfReader, TempoZeroLeavesTheTempoAlone) {
    MidiSong song;
    ASSERT_EQ(decode(file({chunk(withEnd({0x00, 0xFF, 0x51, 0x03, 0, 0, 0}))}), song),
              MidiResult::kOk);
    EXPECT_EQ(song.tempo, 100.0);
}

TEST(SmfReader, ChannelPrefixRoutesEventsAndNames) {
    MidiSong song;
    const Bytes conductor = withEnd({0x00, 0xFF, 0x03, 0x02, 'T', 'i'});
    const Bytes track = withEnd({0x00, 0xFF, 0x20, 0x01, 0x05, 0x00, 0xFF, 0x03, 0x01, 'F', 0x10,
                                 0x93, 50, 60, 0x10, 50, 0x00});
    ASSERT_EQ(decode(file({chunk(conductor), chunk(track)}), song), MidiResult::kOk);
    EXPECT_EQ(song.title, "Ti");
    EXPECT_EQ(song.tracks[5].name, "F");
    EXPECT_EQ(song.tracks[5].events,
              (std::vector<MidiEvent>{{16, 0x93, 50, 60}, {32, 0x93, 50, 0}}));
    EXPECT_TRUE(song.tracks[0].events.empty());
}

TEST(SmfReader, SkipsForeignChunksSysexEscapesAndUnknownMetas) {
    MidiSong song;
    const Bytes track = withEnd({0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7,         // sysex
                                 0x00, 0xF7, 0x02, 0xF8, 0xFA,               // escape
                                 0x00, 0xFF, 0x58, 0x04, 4,    2,    24, 8,  // time signature
                                 0x05, 0xC2, 0x07,                           // program change
                                 0x00, 0xF8});                               // no data bytes
    ASSERT_EQ(decode(file({chunk({1, 2, 3}, "XFIH"), chunk(track)}), song), MidiResult::kOk);
    EXPECT_EQ(song.tracks[0].events,
              (std::vector<MidiEvent>{{5, 0xC2, 7, 0xFF}, {5, 0xF8, 0xFF, 0xFF}}));
    EXPECT_EQ(song.timeSignatureNumerator, 4);
}

// A byte with bit 7 set where a data byte belongs: the file is damaged and
// refused with the byte's offset, the song left as it was; nothing is read
// that a write would turn into a file losing its step.
TEST_F(TempDir, ReaderRefusesAStatusByteWhereDataBelongsNamingItsOffset) {
    const Bytes track = withEnd({0x00, 0x92, 0x5A, 0x40,    // a note on
                                 0x10, 0x5A, 0x81, 0x48});  // running status, 0x81 as velocity
    const Bytes bytes = file({chunk(track)});
    MidiSong song = bassSong();
    EXPECT_EQ(decode(bytes, song), MidiResult::kNotSmf);
    EXPECT_EQ(song.tracks[0].events, bassSong().tracks[0].events);

    ASSERT_TRUE(writeFileSafely(path("damaged.mid"), bytes));
    const auto loaded = midiSongLoad(path("damaged.mid"), song);
    ASSERT_FALSE(loaded);
    EXPECT_EQ(loaded.error().code, ErrorCode::kBadFormat);
    // 14 header bytes, 8 of the chunk's, then 0x81 is the seventh.
    EXPECT_EQ(loaded.error().line(),
              path("damaged.mid") +
                  ": Unable to read MIDI file. Damaged MIDI file: byte 28 (0x81) stands where a "
                  "data byte belongs.");
    EXPECT_EQ(song.tracks[0].events, bassSong().tracks[0].events);

    // As in a file from elsewhere found by fuzzing: refused where it first
    // goes wrong.
    const auto found = midiSongLoad(
        HALVORN_SOURCE_DIR "/fuzz/corpus/smf_reader_fuzzer/smf-roundtrip-loses-an-event.mid", song);
    ASSERT_FALSE(found);
    EXPECT_NE(found.error().reason.find("stands where a data byte belongs"), std::string::npos)
        << found.error().reason;

    ASSERT_TRUE(
        writeFileSafely(path("good.mid"), file({chunk(withEnd({0x00, 0x92, 0x5A, 0x40}))})));
    ASSERT_TRUE(midiSongLoad(path("good.mid"), song));
    EXPECT_EQ(song.tracks[0].events, (std::vector<MidiEvent>{{0, 0x92, 0x5A, 0x40}}));
    EXPECT_EQ(midiSongLoad(path("none.mid"), song).error().reason, "No such file or directory");
}

TEST(SmfReader, GrowsPastAThousandEventsPerSlot) {
    Bytes body;
    for (int i = 0; i < 5000; ++i) body.insert(body.end(), {0x01, 0x90, 60, 1});
    MidiSong song;
    ASSERT_EQ(decode(file({chunk(withEnd(body))}), song), MidiResult::kOk);
    EXPECT_EQ(song.tracks[0].events.size(), 5000u);
    EXPECT_EQ(song.lengthTicks, 5000u);
}

TEST(SmfReader, MalformedInputIsRefusedAndLeavesTheSongAlone) {
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"ends inside the header", slice(header(1), 0, 12)},
        {"ends before a chunk", header(2)},
        {"chunk length past the end",
         [] {
             Bytes b = file({chunk(withEnd({}))});
             b[21] = 0x40;
             return b;
         }()},
        {"five-byte VLQ", file({chunk(withEnd({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 1, 1}))})},
        {"data bytes missing", file({chunk({0x00, 0x90, 60})})},
        {"running status without status", file({chunk(withEnd({0x00, 0x3C, 0x40}))})},
        {"running status after a meta event",
         file({chunk(withEnd({0x00, 0xFF, 0x01, 0x00, 0x00, 0x3C, 0x40}))})},
        {"channel prefix above 15", file({chunk(withEnd({0x00, 0xFF, 0x20, 0x01, 16}))})},
        {"text longer than its chunk", file({chunk(withEnd({0x00, 0xFF, 0x01, 0x7F, 'a'}))})},
        {"sysex longer than its chunk", file({chunk({0x00, 0xF0, 0x08, 1, 2})})},
        {"no end of track", file({chunk({0x00, 0x90, 60, 1})})},
        {"times past 32 bits",
         [] {
             Bytes body;
             for (int i = 0; i < 17; ++i)
                 body.insert(body.end(), {0xFF, 0xFF, 0xFF, 0x7F, 0x90, 1, 1});
             return file({chunk(withEnd(body))});
         }()},
    };
    for (const auto& [what, bytes] : cases) {
        MidiSong song = bassSong();
        song.title = "kept";
        song.tempo = 77.0;
        EXPECT_EQ(decode(bytes, song), MidiResult::kNotSmf) << what;
        EXPECT_EQ(song.title, "kept") << what;
        EXPECT_EQ(song.tempo, 77.0) << what;
        EXPECT_EQ(song.tracks[0].events.size(), 2u) << what;
    }
}

TEST(SmfReader, EventsStayWithinTheirChunk) {
    // The first chunk's declared length cuts its last note short: its data
    // bytes must not be taken from the next chunk.
    const Bytes first = chunk({0x00, 0x90, 60});
    const Bytes second = chunk(withEnd({}));
    MidiSong song;
    EXPECT_EQ(decode(file({first, second}), song), MidiResult::kNotSmf);
}

}  // namespace
}  // namespace halvorn

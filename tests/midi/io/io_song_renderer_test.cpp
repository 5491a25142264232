// The offline renderer: each event sounds from its own frame, however the
// render is cut into chunks, and the samples kept between the two passes of
// a levelled export come back as they went in, from memory or from disk.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "midi/io/fluidsynth/song_renderer.h"
#include "midi/io/sample_spool.h"

namespace halvorn::test {
namespace {

constexpr int kRate = 44100;
// FluidSynth applies messages between its blocks of this many frames: a
// note sounds from the first boundary at or after its frame.
constexpr std::uint64_t kSynthBlockFrames = 64;

bool haveSoundfont() {
    return std::filesystem::exists(kDefaultSoundfontPath);
}

MidiSong songOf(std::vector<MidiEvent> events, double tempo, std::uint16_t ppqn) {
    MidiSong song;
    song.tempo = tempo;
    song.ppqn = ppqn;
    song.tracks[0].events = std::move(events);
    midiSongCountEvents(song);
    midiSongComputeLength(song);
    return song;
}

// The whole render, `chunkFrames` at a time.
std::vector<float> renderAll(const MidiSong& song, std::size_t chunkFrames) {
    auto engine = SynthEngine::create(kDefaultSoundfontPath, kRate, SynthUse::kOffline);
    EXPECT_TRUE(engine) << engine.error().message;
    if (!engine) return {};
    auto renderer = SongRenderer::create(std::move(*engine), song, 0.5);
    EXPECT_TRUE(renderer) << renderer.error().message;
    if (!renderer) return {};
    std::vector<float> all;
    std::vector<float> chunk(chunkFrames * 2);
    for (;;) {
        const auto got = (*renderer)->render(chunk);
        EXPECT_TRUE(got);
        if (!got || *got == 0) break;
        all.insert(all.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(*got * 2));
    }
    EXPECT_EQ((*renderer)->framesDone(), (*renderer)->totalFrames());
    return all;
}

// The first frame at which two renders differ.
std::uint64_t firstDifferentFrame(const std::vector<float>& a, const std::vector<float>& b) {
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    return i / 2;
}

TEST(SongRendererTest, EachNoteSoundsFromItsOwnFrameWhateverTheChunks) {
    if (!haveSoundfont()) GTEST_SKIP() << "no soundfont installed";
    // Tempo 100 at 120 ticks a quarter: 0.6 s a quarter, 220.5 frames a
    // tick, so the notes fall between blocks. The silent song stands for
    // the reverb's residue, which is not quite zero.
    const MidiSong silent = songOf({{0, 0xB0, 64, 0}, {200, 0xB0, 64, 0}}, 100.0, 120);
    const std::vector<MidiEvent> first = {{7, 0x90, 60, 100}, {200, 0x80, 60, 0}};
    const std::vector<MidiEvent> both = {
        {7, 0x90, 60, 100}, {133, 0x90, 67, 110}, {200, 0x80, 60, 0}, {250, 0x80, 67, 0}};
    const MidiSong alone = songOf(first, 100.0, 120);
    const MidiSong song = songOf(both, 100.0, 120);

    const std::vector<float> big = renderAll(song, 8192);
    // Silence until the first note's frame, sound from the synthesizer's
    // first block boundary after it (its attack starts from zero there).
    const std::uint64_t firstFrame = songTickFrame(7, 600000, 120, kRate);
    ASSERT_EQ(firstFrame, 1543u);
    const std::uint64_t onset = firstDifferentFrame(big, renderAll(silent, 8192));
    EXPECT_GE(onset, firstFrame);
    EXPECT_LE(onset, firstFrame + kSynthBlockFrames);

    // The second note, against the same song without it.
    const std::uint64_t secondFrame = songTickFrame(133, 600000, 120, kRate);
    ASSERT_EQ(secondFrame, 29326u);
    const std::uint64_t second = firstDifferentFrame(big, renderAll(alone, 8192));
    EXPECT_GE(second, secondFrame);
    EXPECT_LE(second, secondFrame + kSynthBlockFrames);

    // Chunks that cut across the events change nothing.
    EXPECT_EQ(renderAll(song, 100), big);
    // The piece up to its last event, then the tail.
    EXPECT_EQ(big.size() / 2, songTickFrame(250, 600000, 120, kRate) + kRate / 2);
}

TEST(SongRendererTest, SongsThatCannotPlayAreRefused) {
    if (!haveSoundfont()) GTEST_SKIP() << "no soundfont installed";
    for (const auto& [tempo, ppqn] : {std::pair{0.0, 120}, {NAN, 120}, {120.0, 0}}) {
        auto engine = SynthEngine::create(kDefaultSoundfontPath, kRate, SynthUse::kOffline);
        ASSERT_TRUE(engine);
        const MidiSong song = songOf({{0, 0x90, 60, 100}}, tempo, static_cast<std::uint16_t>(ppqn));
        const auto renderer = SongRenderer::create(std::move(*engine), song, 1.0);
        ASSERT_FALSE(renderer);
        EXPECT_NE(renderer.error().message.find("tempo"), std::string::npos);
    }
}

TEST(SampleSpoolTest, GivesBackWhatWentInFromMemoryOrDisk) {
    std::vector<float> samples(100000);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = std::sin(static_cast<float>(i) * 0.01f) * static_cast<float>(i % 7);
    for (const std::uint64_t limit : {kSampleSpoolMemoryLimit, std::uint64_t{0}}) {
        auto spool = SampleSpool::create(samples.size(), limit);
        ASSERT_TRUE(spool) << spool.error().message;
        EXPECT_EQ((*spool)->inMemory(), limit > 0);
        for (std::size_t at = 0; at < samples.size(); at += 30000) {
            const std::size_t count = std::min<std::size_t>(30000, samples.size() - at);
            ASSERT_TRUE((*spool)->append(std::span(samples).subspan(at, count)));
        }
        std::vector<float> back;
        std::vector<float> chunk(4096);
        for (;;) {
            const auto got = (*spool)->read(chunk);
            ASSERT_TRUE(got) << got.error().message;
            if (*got == 0) break;
            back.insert(back.end(), chunk.begin(),
                        chunk.begin() + static_cast<std::ptrdiff_t>(*got));
        }
        EXPECT_EQ(back, samples);
    }
}

}  // namespace
}  // namespace halvorn::test

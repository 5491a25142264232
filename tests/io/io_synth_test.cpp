// The built-in synthesizer: clean failure without a sound card, and the
// offline renderer that puts every message on its own sample block.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "midi/io/fluidsynth/synth_output.h"

namespace halvorn::test {
namespace {

using std::chrono::milliseconds;

bool haveSoundfont() {
    return std::filesystem::exists(kDefaultSoundfontPath);
}

TEST(SynthEngineTest, MissingSoundfontFailsWithAMessage) {
    std::string error;
    EXPECT_EQ(SynthEngine::create("/nonexistent/none.sf2", 44100, error), nullptr);
    EXPECT_NE(error.find("/nonexistent/none.sf2"), std::string::npos);
    std::string notSoundfont;
    EXPECT_EQ(SynthEngine::create(HALVORN_SOURCE_DIR "/CMakeLists.txt", 44100, notSoundfont),
              nullptr);
    EXPECT_FALSE(notSoundfont.empty());
}

TEST(SynthOutputTest, LiveOutputOpensOrSaysWhyNot) {
    if (!haveSoundfont()) GTEST_SKIP() << "no soundfont installed";
    std::string error;
    auto synth = SynthOutput::create(kDefaultSoundfontPath, error);
    std::string probeError;
    const bool audio = synthAudioOutputAvailable(probeError);
    EXPECT_EQ(synth != nullptr, audio);
    if (!synth) {
        EXPECT_NE(error.find("no audio output"), std::string::npos) << error;
        EXPECT_NE(probeError.find("no audio output"), std::string::npos) << probeError;
    }
}

TEST(OfflineSynthTest, MessagesLandAtTheirTimeAndRenderIsNotSilent) {
    if (!haveSoundfont()) GTEST_SKIP() << "no soundfont installed";
    std::string error;
    auto engine = SynthEngine::create(kDefaultSoundfontPath, 44100, error);
    ASSERT_NE(engine, nullptr) << error;
    std::vector<std::int16_t> samples;
    OfflineSynth synth(std::move(engine), [&](const std::int16_t* data, std::size_t frames) {
        samples.insert(samples.end(), data, data + frames * 2);
        return true;
    });
    synth.send(0x64'3C'90, milliseconds(250));
    synth.send(0x00'3C'90, milliseconds(500));
    synth.renderUntil(milliseconds(1000));
    ASSERT_EQ(samples.size(), 44100u * 2);
    EXPECT_EQ(synth.framesRendered(), 44100u);
    EXPECT_FALSE(synth.failed());

    auto peak = [&](std::size_t fromFrame, std::size_t toFrame) {
        int peakValue = 0;
        for (std::size_t i = fromFrame * 2; i < toFrame * 2; ++i)
            peakValue = std::max(peakValue, std::abs(static_cast<int>(samples[i])));
        return peakValue;
    };
    // Silence (dither aside) before the note's block, sound after it.
    EXPECT_LE(peak(0, 11025 - 64), 2);
    EXPECT_GT(peak(11025, 22050), 1000);
}

TEST(OfflineSynthTest, RefusingSinkMarksTheRenderFailed) {
    if (!haveSoundfont()) GTEST_SKIP() << "no soundfont installed";
    std::string error;
    auto engine = SynthEngine::create(kDefaultSoundfontPath, 22050, error);
    ASSERT_NE(engine, nullptr) << error;
    OfflineSynth synth(std::move(engine), [](const std::int16_t*, std::size_t) { return false; });
    synth.renderUntil(milliseconds(100));
    EXPECT_TRUE(synth.failed());
}

}  // namespace
}  // namespace halvorn::test

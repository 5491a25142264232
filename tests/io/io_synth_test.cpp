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
    const auto missing = SynthEngine::create("/nonexistent/none.sf2", 44100);
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error().find("/nonexistent/none.sf2"), std::string::npos);
    const auto notSoundfont = SynthEngine::create(HALVORN_SOURCE_DIR "/CMakeLists.txt", 44100);
    ASSERT_FALSE(notSoundfont);
    EXPECT_FALSE(notSoundfont.error().empty());
}

TEST(SynthOutputTest, LiveOutputOpensOrSaysWhyNot) {
    if (!haveSoundfont()) GTEST_SKIP() << "no soundfont installed";
    const auto synth = SynthOutput::create(kDefaultSoundfontPath);
    const auto audio = synthAudioOutputAvailable();
    EXPECT_EQ(synth.has_value(), audio.has_value());
    if (!synth) {
        EXPECT_NE(synth.error().find("no audio output"), std::string::npos) << synth.error();
    }
    if (!audio) {
        EXPECT_NE(audio.error().find("no audio output"), std::string::npos) << audio.error();
    }
}

TEST(OfflineSynthTest, MessagesLandAtTheirTimeAndRenderIsNotSilent) {
    if (!haveSoundfont()) GTEST_SKIP() << "no soundfont installed";
    auto engine = SynthEngine::create(kDefaultSoundfontPath, 44100);
    ASSERT_TRUE(engine) << engine.error();
    std::vector<std::int16_t> samples;
    OfflineSynth synth(std::move(*engine), [&](const std::int16_t* data, std::size_t frames) {
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

TEST(SynthEngineTest, ChannelSetUpWithoutAMessageGivesProgramVolumeAndPan) {
    if (!haveSoundfont()) GTEST_SKIP() << "no soundfont installed";
    auto engine = SynthEngine::create(kDefaultSoundfontPath, 22050);
    ASSERT_TRUE(engine) << engine.error();
    (*engine)->setUpChannel({.channel = 3, .program = 40, .volume = 90, .pan = 20});
    int font = 0, bank = 0, preset = 0, value = 0;
    ASSERT_EQ(fluid_synth_get_program((*engine)->synth(), 3, &font, &bank, &preset), FLUID_OK);
    EXPECT_EQ(preset, 40);
    ASSERT_EQ(fluid_synth_get_cc((*engine)->synth(), 3, kControllerVolume, &value), FLUID_OK);
    EXPECT_EQ(value, 90);
    ASSERT_EQ(fluid_synth_get_cc((*engine)->synth(), 3, kControllerPan, &value), FLUID_OK);
    EXPECT_EQ(value, 20);
    ASSERT_EQ(fluid_synth_get_program((*engine)->synth(), 2, &font, &bank, &preset), FLUID_OK);
    EXPECT_EQ(preset, 0);  // other channels keep theirs
}

TEST(OfflineSynthTest, RefusingSinkMarksTheRenderFailed) {
    if (!haveSoundfont()) GTEST_SKIP() << "no soundfont installed";
    auto engine = SynthEngine::create(kDefaultSoundfontPath, 22050);
    ASSERT_TRUE(engine) << engine.error();
    OfflineSynth synth(std::move(*engine), [](const std::int16_t*, std::size_t) { return false; });
    synth.renderUntil(milliseconds(100));
    EXPECT_TRUE(synth.failed());
}

}  // namespace
}  // namespace halvorn::test

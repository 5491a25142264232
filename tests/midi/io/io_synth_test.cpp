// The built-in synthesizer: clean failure without a sound card, and the
// channel set-up without messages.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "midi/io/fluidsynth/synth_output.h"

namespace halvorn::test {
namespace {

bool haveSoundfont() {
    return std::filesystem::exists(kDefaultSoundfontPath);
}

TEST(SynthEngineTest, MissingSoundfontFailsWithAMessage) {
    const auto missing = SynthEngine::create("/nonexistent/none.sf2", 44100);
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error().message.find("/nonexistent/none.sf2"), std::string::npos);
    const auto notSoundfont = SynthEngine::create(HALVORN_SOURCE_DIR "/CMakeLists.txt", 44100);
    ASSERT_FALSE(notSoundfont);
    EXPECT_FALSE(notSoundfont.error().message.empty());
}

TEST(SynthOutputTest, LiveOutputOpensOrSaysWhyNot) {
    if (!haveSoundfont()) GTEST_SKIP() << "no soundfont installed";
    const auto synth = SynthOutput::create(kDefaultSoundfontPath);
    const auto audio = synthAudioOutputAvailable();
    EXPECT_EQ(synth.has_value(), audio.has_value());
    if (!synth) {
        EXPECT_NE(synth.error().message.find("no audio output"), std::string::npos)
            << synth.error().message;
    }
    if (!audio) {
        EXPECT_NE(audio.error().message.find("no audio output"), std::string::npos)
            << audio.error().message;
    }
}

TEST(SynthEngineTest, ChannelSetUpWithoutAMessageGivesProgramVolumeAndPan) {
    if (!haveSoundfont()) GTEST_SKIP() << "no soundfont installed";
    auto engine = SynthEngine::create(kDefaultSoundfontPath, 22050);
    ASSERT_TRUE(engine) << engine.error().message;
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

}  // namespace
}  // namespace halvorn::test

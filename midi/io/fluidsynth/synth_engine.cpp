#include "midi/io/fluidsynth/synth_engine.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>

namespace halvorn {

namespace {

// A SoundFont 2 file is a RIFF form of type "sfbk"; checked here so that
// other files get a clear message instead of the loader's diagnostics.
bool looksLikeSoundfont(const std::string& path) {
    std::array<char, 12> header{};
    std::ifstream in(path, std::ios::binary);
    if (!in.read(header.data(), header.size())) return false;
    return std::memcmp(header.data(), "RIFF", 4) == 0 &&
           std::memcmp(header.data() + 8, "sfbk", 4) == 0;
}

}  // namespace

Expected<std::unique_ptr<SynthEngine>, Error> SynthEngine::create(const std::string& soundfontPath,
                                                                  double sampleRate, SynthUse use,
                                                                  int stereoOutputs) {
    stereoOutputs = std::clamp(stereoOutputs, 1, kMidiTrackSlots);
    fluidCaptureLog();
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(soundfontPath, ignored))
        return unexpected(errorOf(ErrorCode::kDevice, "Soundfont not found: " + soundfontPath));
    if (!looksLikeSoundfont(soundfontPath))
        return unexpected(
            errorOf(ErrorCode::kDevice, soundfontPath + " is not a SoundFont 2 file."));
    FluidSettingsHandle settings(new_fluid_settings());
    if (!settings)
        return unexpected(errorOf(ErrorCode::kDevice, "Cannot create the synthesizer settings."));
    fluid_settings_setnum(settings.get(), "synth.sample-rate", sampleRate);
    if (use == SynthUse::kOffline) {
        // Loading only the samples of the instruments a song uses saves
        // reading most of a large General MIDI font; with one thread no call
        // needs the synthesizer's lock, and no audio thread needs the
        // samples pinned in memory.
        fluid_settings_setint(settings.get(), "synth.dynamic-sample-loading", 1);
        fluid_settings_setint(settings.get(), "synth.threadsafe-api", 0);
        fluid_settings_setint(settings.get(), "synth.lock-memory", 0);
    }
    if (stereoOutputs > 1) {
        // Channel c goes to output c % outputs, and so does its share of
        // the effects: every output has a reverb and a chorus of its own.
        fluid_settings_setint(settings.get(), "synth.audio-groups", stereoOutputs);
        fluid_settings_setint(settings.get(), "synth.audio-channels", stereoOutputs);
        fluid_settings_setint(settings.get(), "synth.effects-groups", stereoOutputs);
    }
    FluidSynthHandle synth(new_fluid_synth(settings.get()));
    if (!synth)
        return unexpected(
            errorOf(ErrorCode::kDevice, "Cannot create the synthesizer: " + fluidLastError()));
    if (fluid_synth_sfload(synth.get(), soundfontPath.c_str(), 1) == FLUID_FAILED)
        return unexpected(
            errorOf(ErrorCode::kDevice, "Cannot load the soundfont " + soundfontPath + "."));
    return std::unique_ptr<SynthEngine>(
        new SynthEngine(std::move(settings), std::move(synth), sampleRate, stereoOutputs));
}

SynthEngine::SynthEngine(FluidSettingsHandle settings, FluidSynthHandle synth, double sampleRate,
                         int stereoOutputs)
    : settings_(std::move(settings)),
      synth_(std::move(synth)),
      sampleRate_(sampleRate),
      stereoOutputs_(stereoOutputs) {}

void SynthEngine::apply(MidiShortMessage message) {
    fluid_synth_t* s = synth_.get();
    const int status = midiMessageStatus(message);
    const int channel = status & 0x0F;
    const int data1 = midiMessageData1(message) & 0x7F;
    const int data2 = midiMessageData2(message) & 0x7F;
    switch (status & 0xF0) {
        case 0x80:
            fluid_synth_noteoff(s, channel, data1);
            break;
        case 0x90:
            if (data2 == 0)
                fluid_synth_noteoff(s, channel, data1);
            else
                fluid_synth_noteon(s, channel, data1, data2);
            break;
        case 0xA0:
            fluid_synth_key_pressure(s, channel, data1, data2);
            break;
        case 0xB0:
            fluid_synth_cc(s, channel, data1, data2);
            break;
        case 0xC0:
            fluid_synth_program_change(s, channel, data1);
            break;
        case 0xD0:
            fluid_synth_channel_pressure(s, channel, data1);
            break;
        case 0xE0:
            fluid_synth_pitch_bend(s, channel, data1 | (data2 << 7));
            break;
        default:
            break;  // clock, start and the like mean nothing to a synthesizer
    }
}

void SynthEngine::setUpChannel(const MidiChannelVoice& voice) {
    fluid_synth_t* s = synth_.get();
    const int channel = voice.channel & 0x0F;
    fluid_synth_program_change(s, channel, voice.program & 0x7F);
    fluid_synth_cc(s, channel, kControllerVolume, voice.volume & 0x7F);
    fluid_synth_cc(s, channel, kControllerPan, voice.pan & 0x7F);
}

void SynthEngine::setPercussion(int channel, bool percussion) {
    fluid_synth_set_channel_type(synth_.get(), channel & 0x0F,
                                 percussion ? CHANNEL_TYPE_DRUM : CHANNEL_TYPE_MELODIC);
}

void SynthEngine::setGain(double gain) {
    fluid_synth_set_gain(synth_.get(), static_cast<float>(gain));
}

bool SynthEngine::render(float* samples, int frames) {
    if (stereoOutputs_ > 1) return renderOutputs(samples, frames);
    return fluid_synth_write_float(synth_.get(), frames, samples, 0, 2, samples, 1, 2) == FLUID_OK;
}

// FluidSynth writes each output channel into a buffer of its own and adds
// the effects of an output to it, so its reverb and chorus stay with it.
bool SynthEngine::renderOutputs(float* samples, int frames) {
    const auto count = static_cast<std::size_t>(frames);
    const auto channels = static_cast<std::size_t>(2 * stereoOutputs_);
    try {
        planar_.assign(channels * count, 0.0f);
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::vector<float*> dry(channels);
    for (std::size_t c = 0; c < channels; ++c) dry[c] = planar_.data() + c * count;
    // Per output: its reverb's left and right, then its chorus's.
    std::vector<float*> effects(2 * channels);
    for (std::size_t output = 0; output < channels / 2; ++output) {
        for (std::size_t unit = 0; unit < 2; ++unit) {
            effects[4 * output + 2 * unit] = dry[2 * output];
            effects[4 * output + 2 * unit + 1] = dry[2 * output + 1];
        }
    }
    if (fluid_synth_process(synth_.get(), frames, static_cast<int>(effects.size()), effects.data(),
                            static_cast<int>(channels), dry.data()) != FLUID_OK)
        return false;
    for (std::size_t frame = 0; frame < count; ++frame)
        for (std::size_t c = 0; c < channels; ++c)
            samples[frame * channels + c] = planar_[c * count + frame];
    return true;
}

}  // namespace halvorn

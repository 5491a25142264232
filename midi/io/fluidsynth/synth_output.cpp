#include "midi/io/fluidsynth/synth_output.h"

#include <algorithm>
#include <vector>

#include "midi/io/alsa/alsa_diagnostics.h"
#include "midi/io/jack/jack_diagnostics.h"

namespace halvorn {

namespace {

constexpr double kLiveSampleRate = 44100.0;
constexpr std::uint64_t kRenderChunkFrames = 4096;

// Sound servers first: on a desktop the PulseAudio protocol (also served by
// PipeWire) reaches the speakers even while another program holds the sound
// card, where ALSA's own default device may be busy. Then JACK, for those
// who run it (its ports are connected to the system's playback ports), and
// last the sound card itself.
struct AudioDriver {
    const char* setting;
    const char* name;
};
constexpr AudioDriver kAudioDrivers[] = {
    {"pulseaudio", "PulseAudio"}, {"jack", "JACK"}, {"alsa", "ALSA"}};

// FluidSynth's words for a driver that would not open, shortened to the
// server's own answer ("... failed with error: Connection refused").
std::string driverFailure(std::string why) {
    if (const std::size_t at = why.rfind("error: "); at != std::string::npos)
        why = why.substr(at + 7);
    while (!why.empty() && (why.back() == '.' || why.back() == ' ')) why.pop_back();
    return why.empty() ? std::string("failed") : why;
}

// The first audio driver that opens, with the server's name in `used`, or
// none with `tried` listing each server and why it did not answer:
// "PulseAudio (Connection refused), JACK (...) and ALSA (...)".
FluidAudioDriverHandle openFirstAudioDriver(fluid_settings_t* settings, fluid_synth_t* synth,
                                            std::string& used, std::string& tried) {
    alsaQuietErrors();
    jackQuietClient();
    fluid_settings_setint(settings, "audio.jack.autoconnect", 1);
    fluid_settings_setstr(settings, "audio.jack.id", "Halvorn");
    std::vector<std::string> failures;
    for (const AudioDriver& candidate : kAudioDrivers) {
        if (fluid_settings_setstr(settings, "audio.driver", candidate.setting) != FLUID_OK)
            continue;
        fluidClearLastError();
        FluidAudioDriverHandle driver(new_fluid_audio_driver(settings, synth));
        if (driver) {
            used = candidate.name;
            return driver;
        }
        failures.push_back(std::string(candidate.name) + " (" + driverFailure(fluidLastError()) +
                           ")");
    }
    tried.clear();
    for (std::size_t i = 0; i < failures.size(); ++i) {
        if (i > 0) tried += i + 1 == failures.size() ? " and " : ", ";
        tried += failures[i];
    }
    return FluidAudioDriverHandle();
}

FluidAudioDriverHandle openAudioDriver(const SynthEngine& engine, std::string& error) {
    std::string used;
    std::string tried;
    FluidAudioDriverHandle driver =
        openFirstAudioDriver(engine.settings(), engine.synth(), used, tried);
    if (!driver) error = "The built-in synthesizer has no audio output; it tried " + tried + ".";
    return driver;
}

}  // namespace

Expected<std::unique_ptr<SynthOutput>, std::string> SynthOutput::create(
    const std::string& soundfontPath) {
    auto engine = SynthEngine::create(soundfontPath, kLiveSampleRate);
    if (!engine) return unexpected(engine.error());
    std::string error;
    auto driver = openAudioDriver(**engine, error);
    if (!driver) return unexpected(error);
    return std::unique_ptr<SynthOutput>(new SynthOutput(std::move(*engine), std::move(driver)));
}

SynthOutput::SynthOutput(std::unique_ptr<SynthEngine> engine, FluidAudioDriverHandle driver)
    : engine_(std::move(engine)), driver_(std::move(driver)) {}

void SynthOutput::send(MidiShortMessage message, std::chrono::nanoseconds) {
    engine_->apply(message);  // FluidSynth's event calls are thread-safe
}

Expected<std::string, std::string> synthAudioOutputAvailable() {
    fluidCaptureLog();
    FluidSettingsHandle settings(new_fluid_settings());
    if (!settings) return unexpected(std::string("Cannot create the synthesizer settings."));
    FluidSynthHandle synth(new_fluid_synth(settings.get()));
    if (!synth) return unexpected(std::string("Cannot create the synthesizer."));
    std::string used;
    std::string tried;
    if (!openFirstAudioDriver(settings.get(), synth.get(), used, tried))
        return unexpected("no audio output; tried " + tried);
    return used;
}

OfflineSynth::OfflineSynth(std::unique_ptr<SynthEngine> engine, AudioSink sink)
    : engine_(std::move(engine)), sink_(std::move(sink)) {}

void OfflineSynth::send(MidiShortMessage message, std::chrono::nanoseconds due) {
    std::lock_guard lock(mutex_);
    renderUntilLocked(due);
    engine_->apply(message);
}

void OfflineSynth::setUpChannel(const MidiChannelVoice& voice) {
    std::lock_guard lock(mutex_);
    engine_->setUpChannel(voice);
}

void OfflineSynth::renderUntil(std::chrono::nanoseconds time) {
    std::lock_guard lock(mutex_);
    renderUntilLocked(time);
}

void OfflineSynth::renderUntilLocked(std::chrono::nanoseconds time) {
    if (time.count() <= 0) return;
    const auto target = static_cast<std::uint64_t>(static_cast<long double>(time.count()) *
                                                   engine_->sampleRate() / 1e9L);
    while (!failed_ && frames_ < target) {
        const std::uint64_t frames = std::min(target - frames_, kRenderChunkFrames);
        scratch_.resize(frames * 2);
        const bool ok = engine_->render(scratch_.data(), static_cast<int>(frames)) &&
                        sink_(scratch_.data(), frames);
        if (!ok) failed_ = true;
        frames_ += frames;
    }
}

std::uint64_t OfflineSynth::framesRendered() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

bool OfflineSynth::failed() const {
    std::lock_guard lock(mutex_);
    return failed_;
}

}  // namespace halvorn

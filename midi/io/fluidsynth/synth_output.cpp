#include "midi/io/fluidsynth/synth_output.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "midi/io/alsa/alsa_diagnostics.h"
#include "midi/io/jack/jack_diagnostics.h"

namespace halvorn {

namespace {

constexpr double kLiveSampleRate = 44100.0;

std::int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

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

// Opens one audio driver as `settings` name it.
using DriverOpener = std::function<fluid_audio_driver_t*(fluid_settings_t*)>;

// The first audio driver that opens, with the server's name in `used`, or
// none with `tried` listing each server and why it did not answer:
// "PulseAudio (Connection refused), JACK (...) and ALSA (...)".
FluidAudioDriverHandle openFirstAudioDriver(fluid_settings_t* settings, const DriverOpener& open,
                                            std::string& used, std::string& tried) {
    alsaQuietErrors();
    jackQuietClient();
    fluid_settings_setint(settings, "audio.jack.autoconnect", 1);
    fluid_settings_setstr(settings, "audio.jack.id", "Halvorn");
    std::vector<std::string> failures;
    for (const AudioDriver& candidate : kAudioDrivers) {
        if (fluid_settings_setstr(settings, "audio.driver", candidate.setting) != FLUID_OK)
            continue;
        // Asking libjack with no server there writes its database in /dev/shm.
        if (std::string(candidate.setting) == "jack" && !jackServerMayAnswer()) {
            failures.push_back(std::string(candidate.name) + " (no server is running)");
            continue;
        }
        fluidClearLastError();
        FluidAudioDriverHandle driver(open(settings));
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

// The audio thread's work: the synthesizer's next block, every voice and
// effect mixed, then levelled. Any other buffer the driver offers stays
// silent.
int renderLive(void* data, int frames, int effectCount, float* effects[], int outputCount,
               float* outputs[]) {
    auto& sound = *static_cast<SynthOutput::LiveSound*>(data);
    sound.requestedAt.store(steadyNanoseconds(), std::memory_order_relaxed);
    if (frames < 0 || outputCount < 2 || !outputs || !outputs[0] || !outputs[1])
        return FLUID_FAILED;
    const auto silence = [frames](float* buffer) {
        if (buffer) std::fill_n(buffer, frames, 0.0f);
    };
    for (int i = 0; effects && i < effectCount; ++i) silence(effects[i]);
    for (int i = 2; i < outputCount; ++i) silence(outputs[i]);
    if (fluid_synth_write_float(sound.synth, frames, outputs[0], 0, 1, outputs[1], 0, 1) !=
        FLUID_OK)
        return FLUID_FAILED;
    sound.limiter.process(outputs[0], outputs[1], static_cast<std::size_t>(frames));
    return FLUID_OK;
}

FluidAudioDriverHandle openAudioDriver(const SynthEngine& engine, SynthOutput::LiveSound& sound,
                                       std::string& used, std::string& error) {
    std::string tried;
    FluidAudioDriverHandle driver = openFirstAudioDriver(
        engine.settings(),
        [&sound](fluid_settings_t* settings) {
            return new_fluid_audio_driver2(settings, renderLive, &sound);
        },
        used, tried);
    if (!driver) error = "The built-in synthesizer has no audio output; it tried " + tried + ".";
    return driver;
}

}  // namespace

Expected<std::unique_ptr<SynthOutput>, Error> SynthOutput::create(
    const std::string& soundfontPath) {
    auto engine = SynthEngine::create(soundfontPath, kLiveSampleRate);
    if (!engine) return unexpected(engine.error());
    auto sound = std::make_unique<LiveSound>(
        (*engine)->synth(), PeakLimiter(kLiveMasterGainDb, kLiveCeilingDbfs, kLiveSampleRate));
    // A server that takes its time with the first request is not yet silent.
    sound->requestedAt.store(steadyNanoseconds());
    std::string server;
    std::string error;
    auto driver = openAudioDriver(**engine, *sound, server, error);
    if (!driver) return unexpected(errorOf(ErrorCode::kDevice, error));
    return std::unique_ptr<SynthOutput>(new SynthOutput(std::move(*engine), std::move(sound),
                                                        std::move(driver), std::move(server)));
}

SynthOutput::SynthOutput(std::unique_ptr<SynthEngine> engine, std::unique_ptr<LiveSound> sound,
                         FluidAudioDriverHandle driver, std::string server)
    : engine_(std::move(engine)),
      sound_(std::move(sound)),
      server_(std::move(server)),
      jackInUse_(server_ == "JACK" ? std::make_unique<JackClientInUse>() : nullptr),
      driver_(std::move(driver)) {}

std::string SynthOutput::lostReason() {
    const std::int64_t silentFor =
        steadyNanoseconds() - sound_->requestedAt.load(std::memory_order_relaxed);
    if (std::chrono::nanoseconds(silentFor) < kSilentOutputLimit) return {};
    const std::string what = server_ == "ALSA" ? "sound card" : "audio server";
    return "The " + what + " (" + server_ + ") stopped; playback ended.";
}

void SynthOutput::send(MidiShortMessage message, std::chrono::nanoseconds) {
    engine_->apply(message);  // FluidSynth's event calls are thread-safe
}

Expected<std::string, Error> synthAudioOutputAvailable() {
    fluidCaptureLog();
    FluidSettingsHandle settings(new_fluid_settings());
    if (!settings)
        return unexpected(errorOf(ErrorCode::kDevice, "Cannot create the synthesizer settings."));
    FluidSynthHandle synth(new_fluid_synth(settings.get()));
    if (!synth) return unexpected(errorOf(ErrorCode::kDevice, "Cannot create the synthesizer."));
    std::string used;
    std::string tried;
    const auto open = [&synth](fluid_settings_t* s) {
        return new_fluid_audio_driver(s, synth.get());
    };
    if (!openFirstAudioDriver(settings.get(), open, used, tried))
        return unexpected(errorOf(ErrorCode::kDevice, "no audio output; tried " + tried));
    return used;
}

}  // namespace halvorn

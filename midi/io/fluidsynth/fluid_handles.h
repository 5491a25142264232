#pragma once
// Move-only owners of FluidSynth's C handles.

#include <fluidsynth.h>

#include <memory>
#include <string>

namespace halvorn {

struct FluidSettingsDeleter {
    void operator()(fluid_settings_t* settings) const { delete_fluid_settings(settings); }
};
struct FluidSynthDeleter {
    void operator()(fluid_synth_t* synth) const { delete_fluid_synth(synth); }
};
struct FluidAudioDriverDeleter {
    void operator()(fluid_audio_driver_t* driver) const { delete_fluid_audio_driver(driver); }
};

using FluidSettingsHandle = std::unique_ptr<fluid_settings_t, FluidSettingsDeleter>;
using FluidSynthHandle = std::unique_ptr<fluid_synth_t, FluidSynthDeleter>;
using FluidAudioDriverHandle = std::unique_ptr<fluid_audio_driver_t, FluidAudioDriverDeleter>;

// Routes FluidSynth's log into a buffer instead of standard error; the last
// error line is kept for messages.
void fluidCaptureLog();
std::string fluidLastError();
void fluidClearLastError();  // before a call whose own error is wanted

}  // namespace halvorn

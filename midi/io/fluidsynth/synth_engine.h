#pragma once
// A FluidSynth synthesizer with one General MIDI soundfont loaded.

#include <cstdint>
#include <memory>
#include <string>

#include "midi/io/fluidsynth/fluid_handles.h"
#include "midi/midi_output.h"
#include "model/error.h"
#include "model/expected.h"

namespace halvorn {

inline constexpr const char* kDefaultSoundfontPath = "/usr/share/sounds/sf2/default-GM.sf2";

// FluidSynth's range of gains; live playback keeps its default, 0.2.
inline constexpr double kMinSynthGain = 0.0;
inline constexpr double kMaxSynthGain = 10.0;

enum class SynthUse {
    kLive,     // driven by an audio driver's thread while messages arrive from another
    kOffline,  // one thread renders and plays; samples load as instruments are chosen
};

class SynthEngine {
  public:
    // The engine, or one line saying why the synthesizer or the soundfont
    // failed.
    static Expected<std::unique_ptr<SynthEngine>, Error> create(const std::string& soundfontPath,
                                                                double sampleRate,
                                                                SynthUse use = SynthUse::kLive);

    // Plays one short message (system real-time messages are ignored).
    void apply(MidiShortMessage message);

    // Gives the voice's channel its program, volume and pan.
    void setUpChannel(const MidiChannelVoice& voice);

    // The factor every voice is scaled by (kMinSynthGain..kMaxSynthGain).
    void setGain(double gain);

    // Renders `frames` interleaved stereo frames into `samples`, full scale
    // at 1.0 and not clipped. Messages take effect on FluidSynth's blocks of
    // 64 frames: one applied after rendering to frame F sounds from the first
    // block boundary at or after F.
    bool render(float* samples, int frames);

    double sampleRate() const { return sampleRate_; }
    fluid_settings_t* settings() const { return settings_.get(); }
    fluid_synth_t* synth() const { return synth_.get(); }

  private:
    SynthEngine(FluidSettingsHandle settings, FluidSynthHandle synth, double sampleRate);

    FluidSettingsHandle settings_;
    FluidSynthHandle synth_;
    double sampleRate_;
};

}  // namespace halvorn

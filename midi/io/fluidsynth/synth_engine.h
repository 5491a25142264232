#pragma once
// A FluidSynth synthesizer with one General MIDI soundfont loaded.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
    // failed. With more than one stereo output (up to kMidiTrackSlots),
    // MIDI channel c sounds on output c only, its reverb and chorus with it.
    static Expected<std::unique_ptr<SynthEngine>, Error> create(const std::string& soundfontPath,
                                                                double sampleRate,
                                                                SynthUse use = SynthUse::kLive,
                                                                int stereoOutputs = 1);

    // Plays one short message (system real-time messages are ignored).
    void apply(MidiShortMessage message);

    // Gives the voice's channel its program, volume and pan.
    void setUpChannel(const MidiChannelVoice& voice);

    // Makes `channel` a percussion channel (General MIDI's channel 10, bank
    // 128) or a melodic one; before its program is chosen.
    void setPercussion(int channel, bool percussion);

    // The factor every voice is scaled by (kMinSynthGain..kMaxSynthGain).
    void setGain(double gain);

    // Renders `frames` frames into `samples`, full scale at 1.0 and not
    // clipped: interleaved, each frame the left and right sample of every
    // output in turn. Messages take effect on FluidSynth's blocks of 64
    // frames: one applied after rendering to frame F sounds from the first
    // block boundary at or after F.
    bool render(float* samples, int frames);

    int stereoOutputs() const { return stereoOutputs_; }
    double sampleRate() const { return sampleRate_; }
    fluid_settings_t* settings() const { return settings_.get(); }
    fluid_synth_t* synth() const { return synth_.get(); }

  private:
    SynthEngine(FluidSettingsHandle settings, FluidSynthHandle synth, double sampleRate,
                int stereoOutputs);
    bool renderOutputs(float* samples, int frames);

    FluidSettingsHandle settings_;
    FluidSynthHandle synth_;
    double sampleRate_;
    int stereoOutputs_;
    std::vector<float> planar_;  // one buffer per output channel, for several outputs
};

}  // namespace halvorn

#pragma once
// The built-in General MIDI synthesizer, live through FluidSynth's audio
// driver, at a comfortable level that never clips.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "midi/io/fluidsynth/peak_limiter.h"
#include "midi/io/fluidsynth/synth_engine.h"
#include "midi/midi_output.h"

namespace halvorn {

// Sounds through the system's audio output.
class SynthOutput final : public MidiOutput {
  public:
    // The output, or one line saying why not: no soundfont, or no audio
    // output (for example a machine without a sound card).
    static Expected<std::unique_ptr<SynthOutput>, Error> create(const std::string& soundfontPath);
    void send(MidiShortMessage message, std::chrono::nanoseconds due) override;
    void setUpChannel(const MidiChannelVoice& voice) override { engine_->setUpChannel(voice); }

    // What the audio thread renders with; only that thread touches the
    // limiter.
    struct LiveSound {
        fluid_synth_t* synth;
        PeakLimiter limiter;
    };

  private:
    SynthOutput(std::unique_ptr<SynthEngine> engine, std::unique_ptr<LiveSound> sound,
                FluidAudioDriverHandle driver);
    std::unique_ptr<SynthEngine> engine_;
    std::unique_ptr<LiveSound> sound_;
    FluidAudioDriverHandle driver_;  // declared last: stops before the sound and synth go
};

// The sound server or card the built-in synthesizer would play through
// ("PulseAudio", "JACK" or "ALSA", tried in that order), or why none
// answers ("no audio output; tried PulseAudio (Connection refused), ...").
// Opens and closes the output once.
Expected<std::string, Error> synthAudioOutputAvailable();

}  // namespace halvorn

#pragma once
// The built-in General MIDI synthesizer, live through FluidSynth's audio
// driver, at a comfortable level that never clips.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "midi/io/fluidsynth/peak_limiter.h"
#include "midi/io/fluidsynth/synth_engine.h"
#include "midi/io/jack/jack_clients.h"
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
    // A sound server (or card) that has gone stops asking for sound: after
    // kSilentOutputLimit without a request the output counts as lost,
    // named after it ("The audio server (JACK) stopped; playback ended.").
    std::string lostReason() override;

    static constexpr std::chrono::milliseconds kSilentOutputLimit{1500};

    // What the audio thread renders with; only that thread touches the
    // limiter.
    struct LiveSound {
        fluid_synth_t* synth;
        PeakLimiter limiter;
        // Steady-clock time of the audio thread's latest request, in ns.
        std::atomic<std::int64_t> requestedAt{0};
    };

  private:
    SynthOutput(std::unique_ptr<SynthEngine> engine, std::unique_ptr<LiveSound> sound,
                FluidAudioDriverHandle driver, std::string server);
    std::unique_ptr<SynthEngine> engine_;
    std::unique_ptr<LiveSound> sound_;
    std::string server_;                          // "PulseAudio", "JACK" or "ALSA"
    std::unique_ptr<JackClientInUse> jackInUse_;  // on JACK; goes after the driver
    FluidAudioDriverHandle driver_;  // declared last: stops before the sound and synth go
};

// The sound server or card the built-in synthesizer would play through
// ("PulseAudio", "JACK" or "ALSA", tried in that order), or why none
// answers ("no audio output; tried PulseAudio (Connection refused), ...").
// Opens and closes the output once.
Expected<std::string, Error> synthAudioOutputAvailable();

}  // namespace halvorn

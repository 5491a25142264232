#pragma once
// The built-in General MIDI synthesizer: live through FluidSynth's audio
// driver, or offline into a sample sink on the stream's clock.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/io/fluidsynth/synth_engine.h"
#include "midi/midi_output.h"

namespace halvorn {

// Sounds through the system's audio output.
class SynthOutput final : public MidiOutput {
  public:
    // The output, or one line saying why not: no soundfont, or no audio
    // output (for example a machine without a sound card).
    static Expected<std::unique_ptr<SynthOutput>, std::string> create(
        const std::string& soundfontPath);
    void send(MidiShortMessage message, std::chrono::nanoseconds due) override;
    void setUpChannel(const MidiChannelVoice& voice) override { engine_->setUpChannel(voice); }

  private:
    SynthOutput(std::unique_ptr<SynthEngine> engine, FluidAudioDriverHandle driver);
    std::unique_ptr<SynthEngine> engine_;
    FluidAudioDriverHandle driver_;  // declared last: stops before the synth goes
};

// The sound server or card the built-in synthesizer would play through
// ("PulseAudio", "JACK" or "ALSA", tried in that order), or why none
// answers ("no audio output; tried PulseAudio (Connection refused), ...").
// Opens and closes the output once.
Expected<std::string, std::string> synthAudioOutputAvailable();

// Receives rendered interleaved stereo frames; false stops the render.
using AudioSink = std::function<bool(const std::int16_t* samples, std::size_t frames)>;

// Renders audio up to each message's due time before playing it, so the
// message lands on its own sample block. Time 0 on the clock is frame 0.
class OfflineSynth {
  public:
    OfflineSynth(std::unique_ptr<SynthEngine> engine, AudioSink sink);

    void send(MidiShortMessage message, std::chrono::nanoseconds due);
    void setUpChannel(const MidiChannelVoice& voice);
    // Renders every frame before `time`.
    void renderUntil(std::chrono::nanoseconds time);

    std::uint64_t framesRendered() const;
    bool failed() const;  // the sink refused or the synthesizer failed

  private:
    void renderUntilLocked(std::chrono::nanoseconds time);

    mutable std::mutex mutex_;
    std::unique_ptr<SynthEngine> engine_;
    AudioSink sink_;
    std::uint64_t frames_ = 0;
    bool failed_ = false;
    std::vector<std::int16_t> scratch_;
};

// The MidiOutput face of a shared OfflineSynth, so the synthesizer outlives
// the stream and can render the release tail after it closes.
class OfflineSynthOutput final : public MidiOutput {
  public:
    explicit OfflineSynthOutput(std::shared_ptr<OfflineSynth> synth) : synth_(std::move(synth)) {}
    void send(MidiShortMessage message, std::chrono::nanoseconds due) override {
        synth_->send(message, due);
    }
    void setUpChannel(const MidiChannelVoice& voice) override { synth_->setUpChannel(voice); }

  private:
    std::shared_ptr<OfflineSynth> synth_;
};

}  // namespace halvorn

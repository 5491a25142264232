#pragma once
// Plays a MidiSong into a synthesizer offline, as fast as it renders: the
// song's events in the order playback sends them, each applied at its own
// sample frame, then a tail for the last notes to fade.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "midi/io/fluidsynth/synth_engine.h"
#include "midi/midi_output.h"
#include "midi/midi_song.h"
#include "model/error.h"
#include "model/expected.h"

namespace halvorn {

// One message of the song at the frame it sounds from.
struct TimedMessage {
    std::uint64_t frame = 0;
    MidiShortMessage message = 0;
};

// The frame of `tick` at `sampleRate`: tick x microseconds per quarter x
// rate / (ppqn x 1e6), rounded down, as the stream's clock places it.
std::uint64_t songTickFrame(std::uint64_t tick, std::uint32_t usPerQuarter, std::uint32_t ppqn,
                            std::uint32_t sampleRate);

class SongRenderer {
  public:
    // Sets the engine's channels up from the song's tracks (program, volume,
    // pan), as playback does. The reason when the song's tempo or resolution
    // cannot be played, or its events do not fit in memory.
    static Expected<std::unique_ptr<SongRenderer>, Error> create(
        std::unique_ptr<SynthEngine> engine, const MidiSong& song, double tailSeconds);

    // Renders the next frames into `samples` (interleaved, frameSize()
    // samples a frame: as many frames as fit, fewer at the end); how many,
    // 0 when done; nothing on a synthesizer failure.
    Expected<std::size_t, Error> render(std::span<float> samples);

    // Samples a frame: left and right of each of the engine's outputs.
    std::size_t frameSize() const { return 2 * static_cast<std::size_t>(engine_->stereoOutputs()); }

    std::uint64_t totalFrames() const { return totalFrames_; }
    std::uint64_t framesDone() const { return position_; }

  private:
    SongRenderer(std::unique_ptr<SynthEngine> engine, std::vector<TimedMessage> timeline,
                 std::uint64_t totalFrames);

    std::unique_ptr<SynthEngine> engine_;
    std::vector<TimedMessage> timeline_;
    std::size_t next_ = 0;  // the first message not yet applied
    std::uint64_t position_ = 0;
    std::uint64_t totalFrames_ = 0;
};

}  // namespace halvorn

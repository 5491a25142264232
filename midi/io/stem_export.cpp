#include "midi/io/stem_export.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <span>
#include <system_error>
#include <vector>

#include "midi/channel_setup.h"
#include "midi/general_midi.h"
#include "midi/io/audio_export_steps.h"
#include "midi/io/fluidsynth/song_renderer.h"
#include "midi/io/sample_spool.h"
#include "midi/track_file_names.h"

namespace halvorn {
namespace {

namespace fs = std::filesystem;

constexpr std::uint8_t kPercussionChannel = 9;  // General MIDI's channel 10

// The slots of the tracks that have notes, in slot order: stem k is slot
// slots[k], and plays on the synthesizer's channel k.
std::vector<std::size_t> stemSlots(const MidiSong& song) {
    std::vector<std::size_t> slots;
    for (std::size_t slot = 0; slot < song.tracks.size(); ++slot)
        if (!song.tracks[slot].events.empty()) slots.push_back(slot);
    return slots;
}

// `song` with stem k's channel messages on channel k, each track with the
// voice its own channel has in `song`. The tracks keep their slots, so the
// synthesizer receives the messages in the same order as the whole song's.
MidiSong songOnStemChannels(const MidiSong& song, const std::vector<std::size_t>& slots) {
    const MidiChannelSetup voices = midiSongChannelSetup(song);
    MidiSong stems = song;
    for (std::size_t k = 0; k < slots.size(); ++k) {
        MidiTrack& track = stems.tracks[slots[k]];
        const MidiChannelVoice& voice = voices[track.channel & 0x0F];
        const auto channel = static_cast<std::uint8_t>(k);
        track.channel = channel;
        track.program = voice.program;
        track.volume = voice.volume;
        track.pan = voice.pan;
        for (MidiEvent& event : track.events)
            if (event.status >= 0x80 && event.status < 0xF0)
                event.status = static_cast<std::uint8_t>((event.status & 0xF0) | channel);
    }
    return stems;
}

// A track keeps its drums where it moves off channel 10, and a melodic one
// moved onto it keeps its instrument.
void keepPercussion(SynthEngine& engine, const MidiSong& song,
                    const std::vector<std::size_t>& slots) {
    for (std::size_t k = 0; k < slots.size(); ++k) {
        const bool percussion = (song.tracks[slots[k]].channel & 0x0F) == kPercussionChannel;
        engine.setPercussion(static_cast<int>(k), percussion);
    }
}

// The files being written: one a stem, and the mix when asked for, put in
// place together at the end.
class StemFiles {
  public:
    // A folder made here goes again when the export fails.
    ~StemFiles() {
        if (committed_) return;
        writers_.clear();
        mix_.reset();
        std::error_code ignored;
        for (const std::string& path : placed_) fs::remove(path, ignored);
        if (madeFolder_) fs::remove(folder_, ignored);
    }

    Expected<void, Error> open(const MidiSong& song, const std::vector<std::size_t>& slots,
                               const std::string& folder, const std::string& mixPath,
                               int sampleRate) {
        folder_ = folder;
        std::error_code error;
        madeFolder_ = fs::create_directory(folder, error);
        if (error) return unexpected(fileFailure(folder, systemErrorText(error.value())));
        for (const std::size_t slot : slots) {
            const std::string path =
                (fs::path(folder) / trackFileName(slot, song.tracks[slot].name, "wav")).string();
            auto writer = WavFileWriter::create(path, sampleRate, WavSampleSize::k24Bit);
            if (!writer) return unexpected(fileFailure(path, writer.error()));
            writers_.push_back(std::move(*writer));
            paths_.push_back(path);
        }
        if (!mixPath.empty()) {
            auto writer = WavFileWriter::create(mixPath, sampleRate);
            if (!writer) return unexpected(fileFailure(mixPath, writer.error()));
            mix_ = std::move(*writer);
            mixPath_ = mixPath;
        }
        return {};
    }

    // One chunk of frames, each the left and right sample of every stem in
    // turn, scaled into the files.
    Expected<void, Error> write(std::span<const float> frames, float scale) {
        const std::size_t channels = 2 * writers_.size();
        const std::size_t count = frames.size() / channels;
        std::vector<float> stereo(2 * count);
        std::vector<float> mix(mix_ ? 2 * count : 0, 0.0f);
        for (std::size_t k = 0; k < writers_.size(); ++k) {
            for (std::size_t frame = 0; frame < count; ++frame) {
                for (std::size_t side = 0; side < 2; ++side) {
                    const float sample = frames[frame * channels + 2 * k + side];
                    stereo[2 * frame + side] = sample;
                    if (mix_) mix[2 * frame + side] += sample;
                }
            }
            if (auto written = writeScaled(*writers_[k], stereo, scale); !written)
                return unexpected(fileFailure(paths_[k], written.error()));
        }
        if (mix_) {
            if (auto written = writeScaled(*mix_, mix, scale); !written)
                return unexpected(fileFailure(mixPath_, written.error()));
        }
        return {};
    }

    // Puts every file in place, or none.
    Expected<void, Error> commit() {
        for (std::size_t k = 0; k < writers_.size(); ++k) {
            if (auto done = writers_[k]->commit(); !done)
                return unexpected(fileFailure(paths_[k], done.error()));
            placed_.push_back(paths_[k]);
        }
        if (mix_) {
            if (auto done = mix_->commit(); !done)
                return unexpected(fileFailure(mixPath_, done.error()));
        }
        committed_ = true;
        return {};
    }

  private:
    static Error fileFailure(const std::string& path, const Error& why) {
        return fileError("Unable to export audio.", path, why.message, why.code);
    }
    static Error fileFailure(const std::string& path, const std::string& why) {
        return fileError("Unable to export audio.", path, why);
    }

    std::string folder_;
    bool madeFolder_ = false;
    std::vector<std::unique_ptr<WavFileWriter>> writers_;
    std::vector<std::string> paths_;
    std::vector<std::string> placed_;  // committed, to remove should a later one fail
    std::unique_ptr<WavFileWriter> mix_;
    std::string mixPath_;
    bool committed_ = false;
};

// The mix of one chunk's stems: its loudest sample.
float mixPeakOf(std::span<const float> frames, std::size_t stems) {
    const std::size_t channels = 2 * stems;
    float peak = 0.0f;
    for (std::size_t at = 0; at + channels <= frames.size(); at += channels) {
        float left = 0.0f;
        float right = 0.0f;
        for (std::size_t k = 0; k < stems; ++k) {
            left += frames[at + 2 * k];
            right += frames[at + 2 * k + 1];
        }
        peak = std::max({peak, std::abs(left), std::abs(right)});
    }
    return peak;
}

// Synthesizes the whole song chunk by chunk into `sink`, telling progress
// from 0 to `to`.
template <typename Sink>
Expected<void, Error> synthesize(SongRenderer& renderer, Sink&& sink, ProgressReport& report,
                                 double to) {
    std::vector<float> chunk(kExportChunkFrames * renderer.frameSize());
    const double total = static_cast<double>(std::max<std::uint64_t>(renderer.totalFrames(), 1));
    for (;;) {
        const auto rendered = renderer.render(chunk);
        if (!rendered) return unexpected(rendered.error());
        if (*rendered == 0) return {};
        if (auto taken =
                sink(std::span<const float>(chunk).first(*rendered * renderer.frameSize()));
            !taken)
            return taken;
        if (!report(to * static_cast<double>(renderer.framesDone()) / total))
            return unexpected(exportCancelled());
    }
}

// Synthesizes once into a spool, measuring the mix, then writes every stem
// with the gain that puts the mix at kExportPeakDbfs.
Expected<void, Error> writeLevelled(SongRenderer& renderer, std::size_t stems, StemFiles& files,
                                    ProgressReport& report) {
    const std::uint64_t samples = renderer.totalFrames() * renderer.frameSize();
    auto spool = SampleSpool::create(samples);
    if (!spool) return unexpected(spool.error());
    float peak = 0.0f;
    auto synthesized = synthesize(
        renderer,
        [&](std::span<const float> chunk) {
            peak = std::max(peak, mixPeakOf(chunk, stems));
            return (*spool)->append(chunk);
        },
        report, kExportSynthesisShare);
    if (!synthesized) return synthesized;
    const float gain = levellingGain(peak, kExportPeakDbfs);
    std::vector<float> chunk(kExportChunkFrames * renderer.frameSize());
    std::uint64_t done = 0;
    for (;;) {
        const auto got = (*spool)->read(chunk);
        if (!got) return unexpected(got.error());
        if (*got == 0) return {};
        if (auto written = files.write(std::span<const float>(chunk).first(*got), gain); !written)
            return written;
        done += *got;
        const double fraction = static_cast<double>(done) / static_cast<double>(samples);
        if (!report(kExportSynthesisShare + (1.0 - kExportSynthesisShare) * fraction))
            return unexpected(exportCancelled());
    }
}

}  // namespace

Expected<void, Error> exportSongStems(const MidiSong& song, const std::string& folder,
                                      const AudioExportOptions& options,
                                      const AudioExportProgress& progress,
                                      const std::string& mixPath) {
    const auto fail = [&folder](const Error& why) {
        // Errors of one file name it already.
        if (!why.path.empty()) return unexpected(why);
        return unexpected(fileError("Unable to export audio.", folder, why.message, why.code));
    };
    const std::vector<std::size_t> slots = stemSlots(song);
    if (slots.empty()) return fail(errorOf(ErrorCode::kNoSong, "The song has no notes to play"));
    StemFiles files;
    if (auto opened = files.open(song, slots, folder, mixPath, options.sampleRate); !opened)
        return fail(opened.error());
    auto engine = SynthEngine::create(options.soundfontPath, options.sampleRate, SynthUse::kOffline,
                                      static_cast<int>(slots.size()));
    if (!engine) return fail(engine.error());
    if (options.gain) (*engine)->setGain(*options.gain);
    keepPercussion(**engine, song, slots);
    auto renderer = SongRenderer::create(std::move(*engine), songOnStemChannels(song, slots),
                                         options.tailSeconds);
    if (!renderer) return fail(renderer.error());

    ProgressReport report(progress);
    if (!report(0.0, true)) return fail(exportCancelled());
    const auto written =
        options.gain ? synthesize(
                           **renderer,
                           [&](std::span<const float> chunk) { return files.write(chunk, 1.0f); },
                           report, 1.0)
                     : writeLevelled(**renderer, slots.size(), files, report);
    if (!written) return fail(written.error());
    if (!report(1.0, true)) return fail(exportCancelled());
    if (auto committed = files.commit(); !committed) return fail(committed.error());
    return {};
}

}  // namespace halvorn

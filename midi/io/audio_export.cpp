#include "midi/io/audio_export.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "midi/io/fluidsynth/song_renderer.h"
#include "midi/io/sample_spool.h"
#include "midi/io/sndfile/wav_file_writer.h"

namespace halvorn {

namespace {

constexpr char kCancelled[] = "Export cancelled";
constexpr std::size_t kChunkFrames = 8192;
constexpr auto kProgressInterval = std::chrono::milliseconds(50);
// Of a levelled export's time, synthesizing takes nearly all; the rest is
// scaling and writing.
constexpr double kSynthesisShare = 0.9;
constexpr float kPcmFullScale = 32767.0f;

// Hands the export's progress on, at most every kProgressInterval apart
// (the first and the last always), so a fast export does not flood a
// window's progress bar.
class ProgressReport {
  public:
    explicit ProgressReport(const AudioExportProgress& progress) : progress_(progress) {}

    // False when the user cancelled.
    bool operator()(double fraction, bool always = false) {
        if (!progress_) return true;
        const auto now = std::chrono::steady_clock::now();
        if (!always && told_ && now - lastTold_ < kProgressInterval) return true;
        told_ = true;
        lastTold_ = now;
        return progress_(std::clamp(fraction, 0.0, 1.0));
    }

  private:
    const AudioExportProgress& progress_;
    bool told_ = false;
    std::chrono::steady_clock::time_point lastTold_;
};

bool songHasEvents(const MidiSong& song) {
    for (const auto& track : song.tracks)
        if (!track.events.empty()) return true;
    return false;
}

float peakOf(std::span<const float> samples) {
    float peak = 0.0f;
    for (const float s : samples) peak = std::max(peak, std::abs(s));
    return peak;
}

// 16-bit samples of `samples` times `scale` (1.0 is full scale), rounded
// and held to the 16-bit range.
void toPcm16(std::span<const float> samples, float scale, std::vector<std::int16_t>& pcm) {
    pcm.resize(samples.size());
    const float factor = scale * kPcmFullScale;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const float value = std::clamp(samples[i] * factor, -32768.0f, kPcmFullScale);
        pcm[i] = static_cast<std::int16_t>(std::lrint(value));
    }
}

Expected<void, Error> writePcm(WavFileWriter& writer, std::span<const float> samples, float scale,
                               std::vector<std::int16_t>& pcm) {
    toPcm16(samples, scale, pcm);
    if (!writer.write(pcm.data(), pcm.size() / 2))
        return unexpected(errorOf(ErrorCode::kDevice, "The audio could not be written in full"));
    return {};
}

// Synthesizes the whole song chunk by chunk into `sink`, telling progress
// from `from` to `to`.
template <typename Sink>
Expected<void, Error> synthesize(SongRenderer& renderer, Sink&& sink, ProgressReport& report,
                                 double from, double to) {
    std::vector<float> chunk(kChunkFrames * 2);
    const double total = static_cast<double>(std::max<std::uint64_t>(renderer.totalFrames(), 1));
    for (;;) {
        const auto rendered = renderer.render(chunk);
        if (!rendered) return unexpected(rendered.error());
        if (*rendered == 0) return {};
        if (auto taken = sink(std::span<const float>(chunk).first(*rendered * 2)); !taken)
            return taken;
        if (!report(from + (to - from) * static_cast<double>(renderer.framesDone()) / total))
            return unexpected(errorOf(ErrorCode::kCancelled, kCancelled));
    }
}

// The spooled samples scaled into the WAV file.
Expected<void, Error> writeSpool(SampleSpool& spool, std::uint64_t samples, float scale,
                                 WavFileWriter& writer, ProgressReport& report, double from) {
    std::vector<float> chunk(kChunkFrames * 2);
    std::vector<std::int16_t> pcm;
    std::uint64_t done = 0;
    for (;;) {
        const auto got = spool.read(chunk);
        if (!got) return unexpected(got.error());
        if (*got == 0) return {};
        if (auto written = writePcm(writer, std::span<const float>(chunk).first(*got), scale, pcm);
            !written)
            return written;
        done += *got;
        const double fraction = static_cast<double>(done) / static_cast<double>(samples);
        if (!report(from + (1.0 - from) * fraction))
            return unexpected(errorOf(ErrorCode::kCancelled, kCancelled));
    }
}

// Synthesizes once into the spool, then writes it scaled so that its
// loudest sample sits at kExportPeakDbfs.
Expected<void, Error> writeLevelled(SongRenderer& renderer, WavFileWriter& writer,
                                    ProgressReport& report) {
    const std::uint64_t samples = renderer.totalFrames() * 2;
    auto spool = SampleSpool::create(samples);
    if (!spool) return unexpected(spool.error());
    float peak = 0.0f;
    auto synthesized = synthesize(
        renderer,
        [&](std::span<const float> chunk) {
            peak = std::max(peak, peakOf(chunk));
            return (*spool)->append(chunk);
        },
        report, 0.0, kSynthesisShare);
    if (!synthesized) return synthesized;
    const auto target = static_cast<float>(std::pow(10.0, kExportPeakDbfs / 20.0));
    // A song with nothing to hear is written as it is, silent.
    const float scale = peak > 0.0f ? target / peak : 1.0f;
    return writeSpool(**spool, samples, scale, writer, report, kSynthesisShare);
}

// At the user's gain: straight into the file, nothing measured.
Expected<void, Error> writeAtGain(SongRenderer& renderer, WavFileWriter& writer,
                                  ProgressReport& report) {
    std::vector<std::int16_t> pcm;
    return synthesize(
        renderer, [&](std::span<const float> chunk) { return writePcm(writer, chunk, 1.0f, pcm); },
        report, 0.0, 1.0);
}

}  // namespace

Expected<void, Error> exportSongAudio(const MidiSong& song, const std::string& path,
                                      const AudioExportOptions& options,
                                      const AudioExportProgress& progress) {
    // The export's message with the file and why, keeping the cause's code.
    const auto fail = [&path](const Error& why) {
        return unexpected(fileError("Unable to export audio.", path, why.message, why.code));
    };
    if (!songHasEvents(song))
        return fail(errorOf(ErrorCode::kNoSong, "The song has no notes to play"));
    // The file is made first: a folder that is not there is told at once.
    auto created = WavFileWriter::create(path, options.sampleRate);
    if (!created) return fail(created.error());
    std::unique_ptr<WavFileWriter> writer = std::move(*created);
    auto engine =
        SynthEngine::create(options.soundfontPath, options.sampleRate, SynthUse::kOffline);
    if (!engine) return fail(engine.error());
    if (options.gain) (*engine)->setGain(*options.gain);
    auto renderer = SongRenderer::create(std::move(*engine), song, options.tailSeconds);
    if (!renderer) return fail(renderer.error());

    ProgressReport report(progress);
    if (!report(0.0, true)) return fail(errorOf(ErrorCode::kCancelled, kCancelled));
    const auto written = options.gain ? writeAtGain(**renderer, *writer, report)
                                      : writeLevelled(**renderer, *writer, report);
    if (!written) return fail(written.error());
    // The last word before the file is put in place, however quick it was.
    if (!report(1.0, true)) return fail(errorOf(ErrorCode::kCancelled, kCancelled));
    if (auto committed = writer->commit(); !committed) return fail(committed.error());
    return {};
}

}  // namespace halvorn

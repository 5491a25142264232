#include "midi/io/audio_export.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "midi/io/audio_export_steps.h"
#include "midi/io/fluidsynth/song_renderer.h"
#include "midi/io/sample_spool.h"
#include "midi/io/sndfile/wav_file_writer.h"

namespace halvorn {

namespace {

bool songHasEvents(const MidiSong& song) {
    for (const auto& track : song.tracks)
        if (!track.events.empty()) return true;
    return false;
}

// Synthesizes the whole song chunk by chunk into `sink`, telling progress
// from `from` to `to`.
template <typename Sink>
Expected<void, Error> synthesize(SongRenderer& renderer, Sink&& sink, ProgressReport& report,
                                 double from, double to) {
    std::vector<float> chunk(kExportChunkFrames * 2);
    const double total = static_cast<double>(std::max<std::uint64_t>(renderer.totalFrames(), 1));
    for (;;) {
        const auto rendered = renderer.render(chunk);
        if (!rendered) return unexpected(rendered.error());
        if (*rendered == 0) return {};
        if (auto taken = sink(std::span<const float>(chunk).first(*rendered * 2)); !taken)
            return taken;
        if (!report(from + (to - from) * static_cast<double>(renderer.framesDone()) / total))
            return unexpected(exportCancelled());
    }
}

// The spooled samples scaled into the WAV file.
Expected<void, Error> writeSpool(SampleSpool& spool, std::uint64_t samples, float scale,
                                 WavFileWriter& writer, ProgressReport& report, double from) {
    std::vector<float> chunk(kExportChunkFrames * 2);
    std::uint64_t done = 0;
    for (;;) {
        const auto got = spool.read(chunk);
        if (!got) return unexpected(got.error());
        if (*got == 0) return {};
        if (auto written = writeScaled(writer, std::span<const float>(chunk).first(*got), scale);
            !written)
            return written;
        done += *got;
        const double fraction = static_cast<double>(done) / static_cast<double>(samples);
        if (!report(from + (1.0 - from) * fraction)) return unexpected(exportCancelled());
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
        report, 0.0, kExportSynthesisShare);
    if (!synthesized) return synthesized;
    return writeSpool(**spool, samples, levellingGain(peak, kExportPeakDbfs), writer, report,
                      kExportSynthesisShare);
}

// At the user's gain: straight into the file, nothing measured.
Expected<void, Error> writeAtGain(SongRenderer& renderer, WavFileWriter& writer,
                                  ProgressReport& report) {
    return synthesize(
        renderer, [&](std::span<const float> chunk) { return writeScaled(writer, chunk, 1.0f); },
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
    if (!report(0.0, true)) return fail(exportCancelled());
    const auto written = options.gain ? writeAtGain(**renderer, *writer, report)
                                      : writeLevelled(**renderer, *writer, report);
    if (!written) return fail(written.error());
    // The last word before the file is put in place, however quick it was.
    if (!report(1.0, true)) return fail(exportCancelled());
    if (auto committed = writer->commit(); !committed) return fail(committed.error());
    return {};
}

}  // namespace halvorn

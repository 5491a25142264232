// halvorn-cli export-audio SONG.hvn -o OUT.wav [--soundfont SF2] [--ppqn N]
//                                  [--sample-rate HZ]
// Plays the piece through the built-in synthesizer on a virtual clock, as
// fast as it renders, into a 16-bit stereo WAV file.
#include <array>
#include <cmath>
#include <optional>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/interrupt_scope.h"
#include "cli/progress_bar.h"
#include "cli/song_files.h"
#include "midi/io/audio_export.h"

namespace halvorn::cli {
namespace {

constexpr std::array<OptionRule, 4> kOptions = {{
    {"-o", true},
    {"--soundfont", true},
    {"--ppqn", true},
    {"--sample-rate", true},
}};

// FluidSynth's range of sample rates.
constexpr std::int32_t kMinSampleRate = 8000;
constexpr std::int32_t kMaxSampleRate = 96000;
constexpr int kProgressSteps = 1000;

int runExportAudio(std::span<const std::string> words) {
    std::string error;
    const std::optional<Arguments> arguments = Arguments::parse(words, kOptions, 1, error);
    if (!arguments) return usageError("export-audio: " + error);
    const std::optional<std::string> output = requiredOption(*arguments, "-o", error);
    if (!output) return usageError("export-audio: " + error);
    const std::optional<std::int32_t> ppqn = ppqnOption(*arguments, error);
    if (!ppqn) return usageError("export-audio: " + error);
    const auto sampleRate =
        integerOption(*arguments, "--sample-rate", kMinSampleRate, kMaxSampleRate, 44100, error);
    if (!sampleRate) return usageError("export-audio: " + error);
    AudioExportOptions options;
    options.sampleRate = *sampleRate;
    if (const auto soundfont = arguments->value("--soundfont")) options.soundfontPath = *soundfont;

    const std::string& input = arguments->positionals()[0];
    std::optional<Document> document = loadDocument(input);
    if (!document) return kExitFailure;
    if (refuseOverwritingInput(input, *output)) return kExitFailure;
    MidiSong midi;
    // What "Play" plays: muted tracks stay silent.
    if (!renderDocumentSong(input, *document, midi, true, *ppqn)) return kExitFailure;
    ProgressBar progress("Exporting");
    progress.setRange(0, kProgressSteps);
    InterruptScope interrupts;  // Ctrl+C cancels and leaves no file
    const auto written = exportSongAudio(midi, *output, options, [&progress](double fraction) {
        progress.setPosition(static_cast<int>(std::lround(fraction * kProgressSteps)));
        return !InterruptScope::interrupted();
    });
    if (!written) {
        reportError(written.error().line());
        return kExitFailure;
    }
    return kExitSuccess;
}

}  // namespace

Command exportAudioCommand() {
    return {"export-audio", "SONG.hvn -o OUT.wav [--soundfont SF2] [--ppqn N] [--sample-rate HZ]",
            runExportAudio};
}

}  // namespace halvorn::cli

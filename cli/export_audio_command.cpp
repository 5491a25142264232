// halvorn-cli export-audio SONG.hvn -o OUT.wav [--soundfont SF2] [--ppqn N]
//                                  [--sample-rate HZ] [--gain G] [--stems DIR]
// Renders the piece offline through the built-in synthesizer, as fast as it
// renders, into a 16-bit stereo WAV file, and with --stems into one file per
// track as well (or instead).
#include <array>
#include <cmath>
#include <optional>
#include <string>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/common_options.h"
#include "cli/interrupt_scope.h"
#include "cli/progress_bar.h"
#include "cli/song_files.h"
#include "midi/io/audio_export.h"
#include "midi/io/stem_export.h"

namespace halvorn::cli {
namespace {

// FluidSynth's range of sample rates.
constexpr std::int32_t kMinSampleRate = 8000;
constexpr std::int32_t kMaxSampleRate = 96000;
constexpr std::int32_t kDefaultSampleRate = 44100;
constexpr int kProgressSteps = 1000;

constexpr std::array<Option, 6> kOptions = {{
    {"-o", "OUT.wav", "the 16-bit stereo WAV file to write", true, "--stems"},
    {"--soundfont", "SF2",
     "the General MIDI soundfont to play with (default /usr/share/sounds/sf2/default-GM.sf2)"},
    kPpqnOption,
    {"--sample-rate", "HZ", "8000 to 96000 (default 44100)"},
    {"--gain", "G",
     "the synthesizer's gain, 0 to 10; by default it is chosen so that the loudest moment "
     "peaks at -3 dBFS (FluidSynth's own default is 0.2; half the gain is 6 dB quieter)"},
    {"--stems", "DIR",
     "also (or instead of -o) one 24-bit stereo WAV per track that has notes into the folder "
     "DIR, made when it is not there, named after the track's number and block, as "
     "00-Bass.wav: all as long as the piece, sample-aligned, and levelled together (one gain "
     "for all), so that they add up to the -o file"},
}};

CommandResult runExportAudio(const Arguments& arguments) {
    const auto ppqn = ppqnOf(arguments);
    if (!ppqn) return unexpected(ppqn.error());
    AudioExportOptions options;
    const auto sampleRate =
        arguments.integer("--sample-rate", kMinSampleRate, kMaxSampleRate, kDefaultSampleRate);
    if (!sampleRate) return unexpected(sampleRate.error());
    options.sampleRate = *sampleRate;
    const auto gain = arguments.number("--gain", kMinSynthGain, kMaxSynthGain);
    if (!gain) return unexpected(gain.error());
    options.gain = *gain;
    if (const auto soundfont = arguments.value("--soundfont")) options.soundfontPath = *soundfont;

    std::optional<std::string> stems;
    if (arguments.has("--stems")) {
        const auto folder = trackFolderOf(arguments, "--stems");
        if (!folder) return unexpected(folder.error());
        stems = *folder;
    }

    auto job = loadDocumentFor(arguments, "the audio");
    if (!job) return unexpected(job.error());
    MidiSong midi;
    // What "Play" plays: muted tracks stay silent.
    if (auto rendered = renderDocumentSong(job->input, job->document, midi, true, *ppqn); !rendered)
        return rendered;
    ProgressBar progress("Exporting");
    progress.setRange(0, kProgressSteps);
    InterruptScope interrupts;  // Ctrl+C cancels and leaves no file
    const auto told = [&progress](double fraction) {
        progress.setPosition(static_cast<int>(std::lround(fraction * kProgressSteps)));
        return !InterruptScope::interrupted();
    };
    // With stems, the -o file is their mix, made by the same synthesizer.
    if (stems) return exportSongStems(midi, *stems, options, told, job->output);
    return exportSongAudio(midi, job->output, options, told);
}

}  // namespace

Command exportAudioCommand() {
    return {"export-audio", "SONG.hvn",
            "Plays the piece through the built-in synthesizer, as fast as it renders, into a "
            "WAV file, as the Macrosequences page's \"Export Audio...\" does: the muted tracks "
            "stay silent, as with \"Play\", and each block sounds its instrument at its track's "
            "volume and pan. A second of silence follows for the last notes to fade. With "
            "--stems, each track that has notes gets a file of its own, for mixing elsewhere.",
            kOptions, runExportAudio};
}

}  // namespace halvorn::cli

// halvorn-cli play SONG.hvn [--port N] [--ppqn N] [--buffer-beats N] [--loop]
//                          [--clock] [--skip-muted] [--send-instruments]
// Plays the piece on a MIDI output in real time, showing the measure and
// beat, until it ends or Ctrl+C stops it. The built-in synthesizer always
// sounds the tracks' instruments; --send-instruments sends them to a port
// as messages too.
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <thread>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/interrupt_scope.h"
#include "cli/song_files.h"
#include "midi/device_list.h"
#include "midi/io/system_devices.h"
#include "midi/midi_settings.h"
#include "midi/playback.h"
#include "midi/tempo.h"

namespace halvorn::cli {
namespace {

constexpr std::array<OptionRule, 7> kOptions = {{
    {"--port", true},
    {"--ppqn", true},
    {"--buffer-beats", true},
    {"--loop", false},
    {"--clock", false},
    {"--skip-muted", false},
    {kSendInstrumentsOption, false},
}};

constexpr auto kPollInterval = std::chrono::milliseconds(20);

std::optional<std::int32_t> bufferBeatsOption(const Arguments& arguments, std::string& error) {
    const auto beats = integerOption(arguments, "--buffer-beats", kBufferBeatChoices.front(),
                                     kBufferBeatChoices.back(), kBufferBeatChoices.front(), error);
    if (!beats) return std::nullopt;
    for (std::int32_t choice : kBufferBeatChoices)
        if (*beats == choice) return beats;
    error = "--buffer-beats takes " + listOfChoices(kBufferBeatChoices);
    return std::nullopt;
}

// Shows "measure M, beat B" as the song plays: one updated line on a
// terminal, a line per measure otherwise.
class PositionDisplay {
  public:
    explicit PositionDisplay(const MidiSong& song, bool loop)
        : song_(song), loop_(loop), terminal_(::isatty(STDOUT_FILENO) == 1) {
        const double usPerQuarter = microsecondsPerQuarter(song.tempo).value_or(0);
        nsPerTick_ = std::max(usPerQuarter * 1000.0 / std::max<int>(song.ppqn, 1), 1.0);
        started_ = std::chrono::steady_clock::now();
    }
    ~PositionDisplay() {
        if (terminal_ && shown_) std::printf("\n");
        std::fflush(stdout);
    }
    PositionDisplay(const PositionDisplay&) = delete;
    PositionDisplay& operator=(const PositionDisplay&) = delete;

    void update() {
        const auto elapsed = std::chrono::steady_clock::now() - started_;
        auto tick = static_cast<std::uint64_t>(
            std::chrono::duration<double, std::nano>(elapsed).count() / nsPerTick_);
        if (loop_ && song_.lengthTicks > 0) tick %= song_.lengthTicks;
        if (!loop_) tick = std::min<std::uint64_t>(tick, song_.lengthTicks);
        const std::uint64_t beatTicks = song_.ppqn;
        const std::uint64_t measureTicks =
            beatTicks * std::max<int>(song_.timeSignatureNumerator, 1);
        const std::uint64_t measure = tick / measureTicks + 1;
        const std::uint64_t beat = tick % measureTicks / beatTicks + 1;
        if (measure == lastMeasure_ && beat == lastBeat_) return;
        if (terminal_) {
            std::printf("\rMeasure %llu, beat %llu   ", static_cast<unsigned long long>(measure),
                        static_cast<unsigned long long>(beat));
        } else if (measure != lastMeasure_) {
            std::printf("Measure %llu\n", static_cast<unsigned long long>(measure));
        }
        std::fflush(stdout);
        lastMeasure_ = measure;
        lastBeat_ = beat;
        shown_ = true;
    }

  private:
    const MidiSong& song_;
    bool loop_;
    bool terminal_;
    bool shown_ = false;
    double nsPerTick_ = 1.0;
    std::uint64_t lastMeasure_ = 0;
    std::uint64_t lastBeat_ = 0;
    std::chrono::steady_clock::time_point started_;
};

// Picks the port; false after reporting why nothing can play.
bool selectPort(const Arguments& arguments, std::string& error) {
    const auto notes = installSystemMidiDevices();
    const auto& devices = midiOutputDevices();
    if (devices.empty()) {
        error = "no MIDI output device";
        for (const std::string& note : notes) error += ". " + note;
        return false;
    }
    const auto port = integerOption(arguments, "--port", 0, 65535, 0, error);
    if (!port) return false;
    if (static_cast<std::size_t>(*port) >= devices.size()) {
        error = "there is no port " + std::to_string(*port) + " (halvorn-cli ports lists them)";
        return false;
    }
    midiSettings().selectedPort = *port;
    return true;
}

// Plays until the end or an interrupt; the stream is closed on return.
int playSong(MidiSong& song, bool loop, bool clock) {
    std::atomic<bool> ended{false};
    const MidiStatus prepared = midiPlaybackPrepare(
        &song, [&ended](std::uint32_t) { ended = true; }, loop, clock);
    if (!prepared) {
        reportError("Unable to prepare MIDI data: " + prepared.error().detail);
        midiPlaybackShutdown();
        return kExitFailure;
    }
    InterruptScope interrupts;
    if (midiPlaybackStart() != MidiResult::kOk) {
        reportError("Unable to playback MIDI data");
        midiPlaybackShutdown();
        return kExitFailure;
    }
    {
        PositionDisplay display(song, loop);
        while (!ended && !InterruptScope::interrupted()) {
            display.update();
            std::this_thread::sleep_for(kPollInterval);
        }
        if (!InterruptScope::interrupted()) display.update();
    }
    midiPlaybackShutdown();
    if (const std::string failure = midiPlaybackFailure(); !failure.empty()) {
        reportError("play: " + failure);
        return kExitFailure;
    }
    if (InterruptScope::interrupted()) std::printf("Stopped.\n");
    return kExitSuccess;
}

int runPlay(std::span<const std::string> words) {
    std::string error;
    const std::optional<Arguments> arguments = Arguments::parse(words, kOptions, 1, error);
    if (!arguments) return usageError("play: " + error);
    const std::optional<std::int32_t> ppqn = ppqnOption(*arguments, error);
    if (!ppqn) return usageError("play: " + error);
    const auto beats = bufferBeatsOption(*arguments, error);
    if (!beats) return usageError("play: " + error);
    if (!integerOption(*arguments, "--port", 0, 65535, 0, error))
        return usageError("play: " + error);
    midiSettings().bufferBeats = *beats;

    const std::string& input = arguments->positionals()[0];
    std::optional<Document> document = loadDocument(input);
    if (!document) return kExitFailure;
    if (!selectPort(*arguments, error)) {
        reportError("play: " + error);
        return kExitFailure;
    }
    MidiSong midi;
    if (!renderDocumentSong(input, *document, midi, arguments->has("--skip-muted"), *ppqn))
        return kExitFailure;
    if (arguments->has(kSendInstrumentsOption) && !addChannelSetupEvents(midi)) return kExitFailure;
    return playSong(midi, arguments->has("--loop"), arguments->has("--clock"));
}

}  // namespace

Command playCommand() {
    return {"play",
            "SONG.hvn [--port N] [--ppqn N] [--buffer-beats N] [--loop] [--clock] [--skip-muted] "
            "[--send-instruments]",
            runPlay};
}

}  // namespace halvorn::cli

// halvorn-cli play SONG.hvn [--port N] [--ppqn N] [--buffer-beats N] [--loop]
//                          [--clock] [--skip-muted] [--send-instruments]
//                          [--sync internal|midi:PORT|jack|link] [--timebase-master]
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
#include <filesystem>
#include <thread>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/common_options.h"
#include "cli/interrupt_scope.h"
#include "cli/song_files.h"
#include "midi/device_list.h"
#include "midi/io/system_clock_sources.h"
#include "midi/io/system_devices.h"
#include "midi/midi_system.h"
#include "midi/playback.h"
#include "midi/tempo.h"

namespace halvorn::cli {
namespace {

constexpr std::array<Option, 9> kOptions = {{
    {"--port", "N",
     "the output to play on, numbered as \"halvorn-cli ports\" lists them (default 0: the "
     "built-in synthesizer when a soundfont is installed)"},
    kPpqnOption,
    {"--buffer-beats", "N",
     "the beats each buffer queued ahead holds: 1, 2, 4, 8 or 16 (default 1)"},
    {"--loop", "", "start again from the beginning at the end, until Ctrl+C"},
    {"--clock", "", "send MIDI clock (24 a quarter note) after a Start message"},
    kSkipMutedOption,
    kSendInstrumentsOption,
    {"--sync", "SOURCE",
     "where the time comes from: internal (the song's tempo, the default), midi:PORT (MIDI "
     "clock from an input port, numbered or named as \"halvorn-cli ports --inputs\" lists "
     "them), jack (the JACK transport) or link (a Link session); play then waits for the "
     "source to start"},
    {"--timebase-master", "", "with --sync jack: publish the song's bar, beat and tempo on JACK"},
}};

constexpr auto kPollInterval = std::chrono::milliseconds(20);

// Shows "measure M, beat B" as the song plays: one updated line on a
// terminal, a line per measure otherwise.
class PositionDisplay {
  public:
    PositionDisplay(const MidiSong& song, bool loop, Playback& playback, bool following)
        : song_(song),
          loop_(loop),
          playback_(playback),
          following_(following),
          terminal_(::isatty(STDOUT_FILENO) == 1) {
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
        std::uint64_t tick = 0;
        if (following_) {
            // Where the followed clock has taken the song, at its tempo.
            const auto position = midiPlaybackPositionTicks(playback_);
            tick = position.value_or(0);
            if (const auto tempo = midiPlaybackFollowedTempo(playback_)) tempo_ = *tempo;
        } else {
            const auto elapsed = std::chrono::steady_clock::now() - started_;
            tick = static_cast<std::uint64_t>(
                std::chrono::duration<double, std::nano>(elapsed).count() / nsPerTick_);
            if (loop_ && song_.lengthTicks > 0) tick %= song_.lengthTicks;
            if (!loop_) tick = std::min<std::uint64_t>(tick, song_.lengthTicks);
        }
        const std::uint64_t beatTicks = song_.ppqn;
        const std::uint64_t measureTicks =
            beatTicks * std::max<int>(song_.timeSignatureNumerator, 1);
        const std::uint64_t measure = tick / measureTicks + 1;
        const std::uint64_t beat = tick % measureTicks / beatTicks + 1;
        const long tenths = std::lround(tempo_ * 10);
        if (measure == lastMeasure_ && beat == lastBeat_ && tenths == lastTenths_) return;
        lastTenths_ = tenths;
        if (terminal_ && following_) {
            std::printf("\rMeasure %llu, beat %llu, %.1f BPM   ",
                        static_cast<unsigned long long>(measure),
                        static_cast<unsigned long long>(beat), tempo_);
        } else if (terminal_) {
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
    Playback& playback_;
    bool following_;
    bool terminal_;
    double tempo_ = 0;
    long lastTenths_ = 0;
    bool shown_ = false;
    double nsPerTick_ = 1.0;
    std::uint64_t lastMeasure_ = 0;
    std::uint64_t lastBeat_ = 0;
    std::chrono::steady_clock::time_point started_;
};

// Lists the outputs and picks the port; refuses when nothing can play.
CommandResult selectPort(MidiSystem& system, std::int32_t port) {
    const auto notes = installSystemMidiDevices(system);
    const auto& devices = midiOutputDevices(system);
    if (devices.empty()) {
        std::string text = "play: no MIDI output device";
        for (const std::string& note : notes) text += ". " + note;
        return unexpected(commandFailure(ErrorCode::kDevice, text));
    }
    if (static_cast<std::size_t>(port) >= devices.size())
        return unexpected(commandFailure(
            ErrorCode::kDevice,
            "play: there is no port " + std::to_string(port) + " (halvorn-cli ports lists them)"));
    system.settings.selectedPort = port;
    return {};
}

// Why the chosen output cannot play. The built-in synthesizer says which
// sound servers it tried; without any, the piece can still be heard from a
// file.
std::string cannotPlay(const MidiSystem& system, const Error& error, const std::string& input) {
    const std::string& device =
        midiOutputDevices(system)[static_cast<std::size_t>(system.settings.selectedPort)].name;
    if (error.message.empty()) return "play: Unable to prepare MIDI data";
    if (device != kBuiltInSynthName) return "play: " + error.message;
    const std::string wav = std::filesystem::path(input).replace_extension(".wav").string();
    return "play: " + error.message +
           " To hear the piece anyway, write it to a WAV file: " + "halvorn-cli export-audio " +
           input + " -o " + wav;
}

// Plays until the end or an interrupt; the stream is closed on return.
CommandResult playSong(MidiSystem& system, MidiSong& song, bool loop, bool clock,
                       const std::string& input) {
    std::atomic<bool> ended{false};
    Playback& playback = system.playback();
    PlaybackPrepared prepared = midiPlaybackPrepare(
        playback, &song, [&ended](std::uint32_t) { ended = true; }, loop, clock);
    if (!prepared) {
        midiPlaybackShutdown(playback);
        return unexpected(
            commandFailure(ErrorCode::kDevice, cannotPlay(system, prepared.error(), input)));
    }
    InterruptScope interrupts;
    if (!midiPlaybackStart(playback)) {
        midiPlaybackShutdown(playback);
        return unexpected(commandFailure(ErrorCode::kDevice, "play: Unable to playback MIDI data"));
    }
    {
        const bool following = system.settings.sync.kind != SyncKind::kInternal;
        if (following) std::printf("Waiting for the clock followed to start.\n");
        PositionDisplay display(song, loop, playback, following);
        while (!ended && !InterruptScope::interrupted()) {
            display.update();
            std::this_thread::sleep_for(kPollInterval);
        }
        if (!InterruptScope::interrupted()) display.update();
    }
    midiPlaybackShutdown(playback);
    if (const std::string failure = midiPlaybackFailure(playback); !failure.empty())
        return unexpected(commandFailure(ErrorCode::kDevice, "play: " + failure));
    if (InterruptScope::interrupted()) std::printf("Stopped.\n");
    return {};
}

// --sync's value as a setting; a MIDI input port by its number in
// "ports --inputs" or by its name there.
Expected<SyncSetting, Error> syncOf(const Arguments& arguments, MidiSystem& system) {
    SyncSetting sync;
    sync.jackTimebaseMaster = arguments.has("--timebase-master");
    const std::string value = arguments.value("--sync").value_or("internal");
    if (value == "internal") return sync;
    if (value == "jack") {
        sync.kind = SyncKind::kJackTransport;
        return sync;
    }
    if (value == "link") {
        sync.kind = SyncKind::kLink;
        return sync;
    }
    if (value.rfind("midi:", 0) == 0) {
        sync.kind = SyncKind::kMidiClock;
        const std::string port = value.substr(5);
        const auto names = system.clockSources->inputPortNames();
        const auto number = parseInteger(port);
        if (number && *number >= 0 && static_cast<std::size_t>(*number) < names.size()) {
            sync.port = names[static_cast<std::size_t>(*number)];
            return sync;
        }
        for (const std::string& name : names)
            if (name == port || name.rfind(port + " (", 0) == 0) {
                sync.port = name;
                return sync;
            }
        return unexpected(
            commandFailure(ErrorCode::kDevice, "play: there is no MIDI input port " + port +
                                                   " (halvorn-cli ports --inputs lists them)"));
    }
    return unexpected(commandFailure(
        ErrorCode::kUsage, "play: --sync takes internal, midi:PORT, jack or link, not " + value));
}

CommandResult runPlay(const Arguments& arguments) {
    const std::string& input = arguments.document();
    const auto ppqn = ppqnOf(arguments);
    if (!ppqn) return unexpected(ppqn.error());
    const auto bufferBeats =
        arguments.choice("--buffer-beats", kBufferBeatChoices, kBufferBeatChoices.front());
    if (!bufferBeats) return unexpected(bufferBeats.error());
    const auto port = arguments.integer("--port", 0, 65535, 0);
    if (!port) return unexpected(port.error());

    auto document = loadDocument(input);
    if (!document) return unexpected(document.error());
    MidiSystem system;
    system.settings.bufferBeats = *bufferBeats;
    installSystemClockSources(system);
    const auto sync = syncOf(arguments, system);
    if (!sync) return unexpected(sync.error());
    system.settings.sync = *sync;
    if (auto selected = selectPort(system, *port); !selected) return selected;
    MidiSong midi;
    if (auto rendered =
            renderDocumentSong(input, *document, midi, arguments.has(kSkipMutedOption.name), *ppqn);
        !rendered)
        return rendered;
    if (arguments.has(kSendInstrumentsOption.name)) {
        if (auto added = addChannelSetupEvents(midi); !added) return added;
    }
    return playSong(system, midi, arguments.has("--loop"), arguments.has("--clock"), input);
}

}  // namespace

Command playCommand() {
    return {"play", "SONG.hvn",
            "Plays the piece in real time on a MIDI output, showing the measure and beat, until "
            "it ends or Ctrl+C stops it. Every track plays, the muted ones too, unless "
            "--skip-muted. The built-in synthesizer sounds each block's instrument at its "
            "track's volume and pan; a MIDI port gets only the notes unless --send-instruments.",
            kOptions, runPlay};
}

}  // namespace halvorn::cli

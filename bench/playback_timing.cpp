// Timing of live playback: a dense song played on the real clock into a
// recorder, measuring how late each message leaves against its scheduled
// time and how far the end drifts from the time the ticks give.
//
// Usage: playback_timing [--seconds N] [--buffer-beats N] [--clock]
// Goals: 99% of messages within 1 ms, none later than 2 ms, median under
// 0.2 ms, drift under 1 ms.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <sys/mman.h>

#include "midi/midi_system.h"
#include "midi/playback.h"
#include "midi/tempo.h"
#include "tests/support/recording_output.h"

namespace {

using namespace halvorn;

struct Options {
    int seconds = 60;
    int bufferBeats = 1;
    bool clock = false;
};

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0)
            options.seconds = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--buffer-beats") == 0)
            options.bufferBeats = std::atoi(argv[++i]);
    }
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--clock") == 0) options.clock = true;
    options.seconds = std::max(options.seconds, 1);
    options.bufferBeats = std::max(options.bufferBeats, 1);
    return options;
}

// 16 tracks at 120 beats a minute: each plays sixteenth notes, chords on
// the beat, in staggered rhythms so that most ticks carry several messages.
MidiSong denseSong(int seconds) {
    MidiSong song;
    song.ppqn = 96;
    song.tempo = 120.0;
    const std::uint32_t sixteenth = song.ppqn / 4;
    const std::uint32_t end = static_cast<std::uint32_t>(seconds) * 2 * song.ppqn;
    for (std::uint32_t t = 0; t < 16; ++t) {
        auto& events = song.tracks[t].events;
        const auto channel = static_cast<std::uint8_t>(t);
        const std::uint32_t offset = (t % 4) * 3;  // a few ticks apart
        for (std::uint32_t tick = offset, step = 0; tick + sixteenth <= end;
             tick += sixteenth, ++step) {
            const auto key = static_cast<std::uint8_t>(36 + (t * 5 + step * 7) % 60);
            events.push_back({tick, static_cast<std::uint8_t>(0x90 | channel), key, 90});
            events.push_back(
                {tick + sixteenth - 2, static_cast<std::uint8_t>(0x90 | channel), key, 0});
        }
    }
    midiSongCountEvents(song);
    midiSongComputeLength(song);
    static_cast<void>(midiSongSortTracks(song));  // built in order
    return song;
}

double percentile(std::vector<double> sorted, double p) {
    if (sorted.empty()) return 0.0;
    const auto index = static_cast<std::size_t>(std::ceil(p * sorted.size())) - 1;
    return sorted[std::min(index, sorted.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    auto clock = std::make_shared<SteadyMidiClock>();
    MidiSystem midi;
    auto log = installRecordingDevice(midi, clock);
    midi.settings.bufferBeats = options.bufferBeats;

    MidiSong song = denseSong(options.seconds);
    log->reserve(song.eventCount * 2 + 100000);
    // What a real-time audio program does: no page faults while playing.
    // Only what is mapped now, so a small lock limit cannot fail later
    // allocations.
    const bool locked = mlockall(MCL_CURRENT) == 0;
    std::mutex mutex;
    std::condition_variable changed;
    bool ended = false;
    auto onEnd = [&](std::uint32_t) {
        std::lock_guard lock(mutex);
        ended = true;
        changed.notify_all();
    };
    std::printf("playing %u events over %d s (buffer %d beats%s%s)...\n", song.eventCount,
                options.seconds, options.bufferBeats, options.clock ? ", MIDI clock" : "",
                locked ? ", memory locked" : "");
    std::fflush(stdout);
    PlaybackPrepared prepared =
        midiPlaybackPrepare(midi.playback(), &song, onEnd, false, options.clock);
    if (!prepared || midiPlaybackStart(midi.playback()) != MidiResult::kOk) {
        std::fprintf(stderr, "playback failed to start\n");
        return 1;
    }
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return ended; });
    }
    midiPlaybackShutdown(midi.playback());

    const auto messages = log->messages();
    if (messages.empty()) return 1;
    std::vector<double> lateMs;
    lateMs.reserve(messages.size());
    std::size_t worst = 0;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const auto& m = messages[i];
        lateMs.push_back(std::chrono::duration<double, std::milli>(m.sent - m.due).count());
        if (lateMs.back() > lateMs[worst]) worst = i;
    }
    const double worstAt =
        std::chrono::duration<double>(messages[worst].due - messages.front().due).count();
    std::sort(lateMs.begin(), lateMs.end());
    const double within1 = 100.0 *
                           (std::upper_bound(lateMs.begin(), lateMs.end(), 1.0) - lateMs.begin()) /
                           lateMs.size();
    // Drift: when the last message left against the time its tick gives,
    // counted from the scheduled start and independent of the stream's
    // arithmetic.
    const double nsPerTick = microsecondsPerQuarter(song.tempo).value_or(0) * 1000.0 / song.ppqn;
    const double expectedSpan = song.lengthTicks * nsPerTick / 1e6;
    const double actualSpan =
        std::chrono::duration<double, std::milli>(messages.back().sent - messages.front().due)
            .count();
    std::printf("messages %zu\n", messages.size());
    std::printf("lateness ms: median %.4f  p99 %.4f  max %.4f  within 1 ms %.3f%%\n",
                percentile(lateMs, 0.5), percentile(lateMs, 0.99), lateMs.back(), within1);
    std::printf("latest: message %zu, %.3f s into the song\n", worst, worstAt);
    std::printf("drift ms: %.4f (last message left %.3f ms after the start; ticks give %.3f ms)\n",
                actualSpan - expectedSpan, actualSpan, expectedSpan);
    const bool met = within1 >= 99.0 && lateMs.back() <= 2.0 && percentile(lateMs, 0.5) < 0.2 &&
                     std::fabs(actualSpan - expectedSpan) < 1.0;
    std::printf("goals %s\n", met ? "met" : "NOT met");
    return 0;
}

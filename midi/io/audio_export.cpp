#include "midi/io/audio_export.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "midi/device_list.h"
#include "midi/io/fluidsynth/synth_output.h"
#include "midi/io/sndfile/wav_file_writer.h"
#include "midi/midi_clock.h"
#include "midi/midi_system.h"
#include "midi/output_device_provider.h"
#include "midi/playback.h"
#include "midi/tempo.h"

namespace halvorn {

namespace {

using std::chrono::nanoseconds;

// If the virtual clock stands still this long, playback has stalled.
constexpr auto kStallLimit = std::chrono::seconds(30);
constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr char kCancelled[] = "Export cancelled";
// FluidSynth's own default, for a song with nothing to hear.
constexpr double kDefaultSynthGain = 0.2;
// The level pass: a quarter of the default, so even sixteen loud tracks do
// not reach full scale.
constexpr double kMeasuringGain = 0.05;

nanoseconds songPlaybackTime(const MidiSong& song) {
    const std::optional<std::uint32_t> usPerQuarter = microsecondsPerQuarter(song.tempo);
    if (song.ppqn == 0 || !usPerQuarter) return nanoseconds(0);
    const unsigned __int128 ns =
        static_cast<unsigned __int128>(song.lengthTicks) * *usPerQuarter * 1000u / song.ppqn;
    return nanoseconds(static_cast<std::int64_t>(ns));
}

// A MidiSystem of the export's own whose one device is the offline
// synthesizer, so nothing the window plays or shows is touched.
class OfflineDeviceScope {
  public:
    OfflineDeviceScope(std::shared_ptr<OfflineSynth> synth, std::shared_ptr<MidiClock> clock) {
        std::vector<OutputDeviceEntry> entries;
        entries.push_back({"Offline synthesizer",
                           [synth]() -> Expected<std::unique_ptr<MidiOutput>, std::string> {
                               return std::unique_ptr<MidiOutput>(
                                   std::make_unique<OfflineSynthOutput>(synth));
                           }});
        system.deviceProvider =
            std::make_shared<OutputDeviceProvider>(std::move(entries), std::move(clock));
        midiListOutputDevices(system);
        system.settings.selectedPort = 0;
    }
    MidiSystem system;
};

struct EndSignal {
    std::mutex mutex;
    std::condition_variable changed;
    bool ended = false;

    void raise() {
        std::lock_guard lock(mutex);
        ended = true;
        changed.notify_all();
    }
};

// The part of the whole export's progress one pass reports into.
struct ProgressSpan {
    const AudioExportProgress& progress;
    double from = 0.0;
    double to = 1.0;

    bool operator()(double fraction) const {
        return !progress || progress(from + (to - from) * fraction);
    }
};

enum class WaitResult { kEnded, kCancelled, kStalled };

// Waits for the end of playback, reporting progress.
WaitResult waitForEnd(EndSignal& signal, const MidiClock& clock, nanoseconds total,
                      const ProgressSpan& progress) {
    std::unique_lock lock(signal.mutex);
    nanoseconds lastTime = clock.now();
    auto lastChange = std::chrono::steady_clock::now();
    while (!signal.changed.wait_for(lock, kProgressInterval, [&] { return signal.ended; })) {
        const nanoseconds now = clock.now();
        const double fraction =
            total.count() > 0 ? std::min(1.0, static_cast<double>(now.count()) / total.count()) : 0;
        if (!progress(fraction)) return WaitResult::kCancelled;
        if (now != lastTime) {
            lastTime = now;
            lastChange = std::chrono::steady_clock::now();
        } else if (std::chrono::steady_clock::now() - lastChange > kStallLimit) {
            return WaitResult::kStalled;
        }
    }
    return WaitResult::kEnded;
}

bool songHasEvents(const MidiSong& song) {
    for (const auto& track : song.tracks)
        if (!track.events.empty()) return true;
    return false;
}

// Plays `song` on the virtual clock through a synthesizer at `gain` into
// `sink`, the tail included; the reason when it could not.
Expected<void, std::string> renderPass(MidiSong& song, const AudioExportOptions& options,
                                       double gain, AudioSink sink, const ProgressSpan& progress) {
    auto engine = SynthEngine::create(options.soundfontPath, options.sampleRate);
    if (!engine) return unexpected(engine.error());
    (*engine)->setGain(gain);
    auto synth = std::make_shared<OfflineSynth>(std::move(*engine), std::move(sink));
    auto clock = std::make_shared<VirtualMidiClock>();
    const nanoseconds total = songPlaybackTime(song);
    {
        OfflineDeviceScope scope(synth, clock);
        EndSignal signal;
        if (!midiPlaybackPrepare(
                scope.system, &song, [&signal](std::uint32_t) { signal.raise(); }, false, false))
            return unexpected(std::string("Unable to prepare MIDI data"));
        if (midiPlaybackStart(scope.system) != MidiResult::kOk)
            return unexpected(std::string("Unable to playback MIDI data"));
        const WaitResult result = waitForEnd(signal, *clock, total, progress);
        if (result == WaitResult::kCancelled) return unexpected(std::string(kCancelled));
        if (result == WaitResult::kStalled || clock->now() < total)
            return unexpected(std::string("Playback stopped before the end of the song"));
    }
    const auto tail = std::chrono::duration_cast<nanoseconds>(
        std::chrono::duration<double>(std::max(0.0, options.tailSeconds)));
    // The last word before the pass ends, however quick it was.
    if (!progress(1.0)) return unexpected(std::string(kCancelled));
    synth->renderUntil(total + tail);
    if (synth->failed()) return unexpected(std::string("The audio could not be written in full"));
    return {};
}

// The gain that makes `song` peak at kExportPeakDbfs: one pass at a gain
// low enough not to clip (lower again in the unlikely case it did), scaled
// by how far its peak is from the target; the synthesizer is linear in it.
Expected<double, std::string> levelledGain(MidiSong& song, const AudioExportOptions& options,
                                           const ProgressSpan& progress) {
    constexpr double kFullScale = 32767.0;
    double gain = kMeasuringGain;
    for (;;) {
        int peak = 0;
        auto measured = renderPass(
            song, options, gain,
            [&peak](const std::int16_t* samples, std::size_t frames) {
                for (std::size_t i = 0; i < frames * 2; ++i)
                    peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
                return true;
            },
            progress);
        if (!measured) return unexpected(measured.error());
        if (peak == 0) return kDefaultSynthGain;  // nothing to hear: any gain will do
        if (peak < kFullScale || gain < kMeasuringGain / 1000) {
            const double target = kFullScale * std::pow(10.0, kExportPeakDbfs / 20.0);
            return std::clamp(gain * target / peak, kMinSynthGain, kMaxSynthGain);
        }
        gain /= 16;
    }
}

}  // namespace

Expected<void, FileError> exportSongAudio(MidiSong& song, const std::string& path,
                                          const AudioExportOptions& options,
                                          const AudioExportProgress& progress) {
    const auto fail = [&path](const std::string& why) {
        return unexpected(fileError("Unable to export audio.", path, why));
    };
    if (!songHasEvents(song)) return fail("The song has no notes to play");
    // The file is made first: a folder that is not there is told at once.
    auto created = WavFileWriter::create(path, options.sampleRate);
    if (!created) return fail(created.error());
    std::unique_ptr<WavFileWriter> writer = std::move(*created);
    double gain = options.gain.value_or(0.0);
    ProgressSpan writing{progress};
    if (!options.gain) {
        auto levelled = levelledGain(song, options, ProgressSpan{progress, 0.0, 0.5});
        if (!levelled) return fail(levelled.error());
        gain = *levelled;
        writing.from = 0.5;
    }
    const auto written = renderPass(
        song, options, gain,
        [&writer](const std::int16_t* samples, std::size_t frames) {
            return writer->write(samples, frames);
        },
        writing);
    if (!written) return fail(written.error());
    if (auto committed = writer->commit(); !committed) return fail(committed.error());
    return {};
}

}  // namespace halvorn

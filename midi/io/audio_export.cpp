#include "midi/io/audio_export.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "midi/device_list.h"
#include "midi/io/fluidsynth/synth_output.h"
#include "midi/io/sndfile/wav_file_writer.h"
#include "midi/midi_clock.h"
#include "midi/midi_settings.h"
#include "midi/output_device_provider.h"
#include "midi/playback.h"
#include "midi/tempo.h"

namespace halvorn {

namespace {

using std::chrono::nanoseconds;

// If the virtual clock stands still this long, playback has stalled.
constexpr auto kStallLimit = std::chrono::seconds(30);
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

nanoseconds songPlaybackTime(const MidiSong& song) {
    const std::optional<std::uint32_t> usPerQuarter = microsecondsPerQuarter(song.tempo);
    if (song.ppqn == 0 || !usPerQuarter) return nanoseconds(0);
    const unsigned __int128 ns =
        static_cast<unsigned __int128>(song.lengthTicks) * *usPerQuarter * 1000u / song.ppqn;
    return nanoseconds(static_cast<std::int64_t>(ns));
}

// Points playback at one offline device for the export and puts the
// previous provider, device list and port back afterwards.
class OfflineDeviceScope {
  public:
    OfflineDeviceScope(std::shared_ptr<OfflineSynth> synth, std::shared_ptr<MidiClock> clock)
        : previousProvider_(midiDeviceProvider()), previousPort_(midiSettings().selectedPort) {
        std::vector<OutputDeviceEntry> entries;
        entries.push_back({"Offline synthesizer",
                           [synth]() -> Expected<std::unique_ptr<MidiOutput>, std::string> {
                               return std::unique_ptr<MidiOutput>(
                                   std::make_unique<OfflineSynthOutput>(synth));
                           }});
        midiSetDeviceProvider(
            std::make_shared<OutputDeviceProvider>(std::move(entries), std::move(clock)));
        midiListOutputDevices();
        midiSettings().selectedPort = 0;
    }
    ~OfflineDeviceScope() {
        midiPlaybackShutdown();
        midiSetDeviceProvider(previousProvider_);
        midiListOutputDevices();
        midiSettings().selectedPort = previousPort_;
    }
    OfflineDeviceScope(const OfflineDeviceScope&) = delete;
    OfflineDeviceScope& operator=(const OfflineDeviceScope&) = delete;

  private:
    std::shared_ptr<MidiDeviceProvider> previousProvider_;
    std::int32_t previousPort_;
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

enum class WaitResult { kEnded, kCancelled, kStalled };

// Waits for the end of playback, reporting progress.
WaitResult waitForEnd(EndSignal& signal, const MidiClock& clock, nanoseconds total,
                      const AudioExportProgress& progress) {
    std::unique_lock lock(signal.mutex);
    nanoseconds lastTime = clock.now();
    auto lastChange = std::chrono::steady_clock::now();
    while (!signal.changed.wait_for(lock, kProgressInterval, [&] { return signal.ended; })) {
        const nanoseconds now = clock.now();
        const double fraction =
            total.count() > 0 ? std::min(1.0, static_cast<double>(now.count()) / total.count()) : 0;
        if (progress && !progress(fraction)) return WaitResult::kCancelled;
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

}  // namespace

Expected<void, std::string> exportSongAudio(MidiSong& song, const std::string& path,
                                            const AudioExportOptions& options,
                                            const AudioExportProgress& progress) {
    const auto fail = [](std::string why) { return unexpected(std::move(why)); };
    if (!songHasEvents(song)) return fail("The song has no notes to play.");
    auto engine = SynthEngine::create(options.soundfontPath, options.sampleRate);
    if (!engine) return fail(engine.error());
    auto created = WavFileWriter::create(path, options.sampleRate);
    if (!created) return fail(created.error());
    std::unique_ptr<WavFileWriter> writer = std::move(*created);
    auto synth = std::make_shared<OfflineSynth>(
        std::move(*engine), [&writer](const std::int16_t* samples, std::size_t frames) {
            return writer->write(samples, frames);
        });
    auto clock = std::make_shared<VirtualMidiClock>();
    const nanoseconds total = songPlaybackTime(song);
    {
        OfflineDeviceScope scope(synth, clock);
        EndSignal signal;
        if (!midiPlaybackPrepare(
                &song, [&signal](std::uint32_t) { signal.raise(); }, false, false))
            return fail("Unable to prepare MIDI data");
        if (midiPlaybackStart() != MidiResult::kOk) return fail("Unable to playback MIDI data");
        const WaitResult result = waitForEnd(signal, *clock, total, progress);
        if (result == WaitResult::kCancelled) return fail("Export cancelled.");
        if (result == WaitResult::kStalled || clock->now() < total)
            return fail("Playback stopped before the end of the song.");
    }
    const auto tail = std::chrono::duration_cast<nanoseconds>(
        std::chrono::duration<double>(std::max(0.0, options.tailSeconds)));
    // The last word before the file is committed, however quick the export.
    if (progress && !progress(1.0)) return fail("Export cancelled.");
    synth->renderUntil(total + tail);
    if (synth->failed()) return fail("Cannot write " + path + ".");
    return writer->commit();
}

}  // namespace halvorn

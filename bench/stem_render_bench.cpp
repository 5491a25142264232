// How stems can be rendered, timed on the demos: one synthesizer playing
// the whole song (the plain export), one synthesizer with an output per
// track (what the stems export does), and one synthesizer per track, the
// tracks spread over every core. For the last two, how far their outputs
// summed are from the plain render, in dB below its peak: the output per
// track adds up to it to the float's rounding; synthesizers of their own
// do not, since FluidSynth starts a note on a voice that keeps the output
// gains of the last note it played for its first block, and which note
// that was depends on everything else the synthesizer played.
//
// Usage: stem_render_bench [DOCUMENT.hvn ...]   (default: the demos)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "engine/arrangement.h"
#include "midi/io/fluidsynth/song_renderer.h"
#include "model/document.h"

namespace {

using namespace halvorn;
using Clock = std::chrono::steady_clock;

constexpr double kRate = 44100.0;

// The whole render of `song` by an engine with `outputs` stereo outputs,
// interleaved as the engine writes it.
std::vector<float> renderWhole(const MidiSong& song, int outputs) {
    auto engine = SynthEngine::create(kDefaultSoundfontPath, kRate, SynthUse::kOffline, outputs);
    if (!engine) return {};
    auto renderer = SongRenderer::create(std::move(*engine), song, 1.0);
    if (!renderer) return {};
    std::vector<float> samples((*renderer)->totalFrames() * (*renderer)->frameSize());
    for (std::size_t at = 0; at < samples.size();) {
        const auto done = (*renderer)->render(std::span(samples).subspan(at));
        if (!done || *done == 0) break;
        at += *done * (*renderer)->frameSize();
    }
    return samples;
}

// `outputs` interleaved stereo outputs summed into one.
std::vector<float> summed(const std::vector<float>& samples, std::size_t outputs) {
    std::vector<float> mix(samples.size() / outputs, 0.0f);
    for (std::size_t frame = 0; frame < mix.size() / 2; ++frame)
        for (std::size_t k = 0; k < outputs; ++k)
            for (std::size_t side = 0; side < 2; ++side)
                mix[2 * frame + side] += samples[(frame * outputs + k) * 2 + side];
    return mix;
}

double decibelsBelowPeak(const std::vector<float>& reference, const std::vector<float>& other) {
    float peak = 0.0f;
    float worst = 0.0f;
    for (std::size_t i = 0; i < std::min(reference.size(), other.size()); ++i) {
        peak = std::max(peak, std::abs(reference[i]));
        worst = std::max(worst, std::abs(reference[i] - other[i]));
    }
    return worst > 0.0f ? 20 * std::log10(worst / peak) : -INFINITY;
}

template <typename Work>
double secondsOf(Work work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void bench(const std::string& path) {
    auto document = documentRead(path);
    if (!document) {
        std::printf("%s\n", document.error().line().c_str());
        return;
    }
    MidiSong song;
    NoRenderProgress progress;
    if (!renderSong(song, document->song, progress, true, 120)) return;
    std::vector<std::size_t> slots;
    for (std::size_t slot = 0; slot < song.tracks.size(); ++slot)
        if (!song.tracks[slot].events.empty()) slots.push_back(slot);

    std::vector<float> whole;
    const double one = secondsOf([&] { whole = renderWhole(song, 1); });
    // The stems export's way: each track on a channel of its own, an output each.
    MidiSong apart = song;
    for (std::size_t k = 0; k < slots.size(); ++k) {
        MidiTrack& track = apart.tracks[slots[k]];
        track.channel = static_cast<std::uint8_t>(k);
        for (MidiEvent& event : track.events)
            event.status = static_cast<std::uint8_t>((event.status & 0xF0) | k);
    }
    std::vector<float> outputs;
    const double grouped =
        secondsOf([&] { outputs = renderWhole(apart, static_cast<int>(slots.size())); });
    // One synthesizer per track on every core.
    std::vector<std::vector<float>> tracks(slots.size());
    std::atomic<std::size_t> next{0};
    const double parallel = secondsOf([&] {
        std::vector<std::thread> workers;
        for (unsigned w = 0; w < std::max(1u, std::thread::hardware_concurrency()); ++w)
            workers.emplace_back([&] {
                for (std::size_t k; (k = next++) < slots.size();) {
                    MidiSong alone = song;
                    for (std::size_t other = 0; other < alone.tracks.size(); ++other)
                        if (other != slots[k]) alone.tracks[other].events.clear();
                    tracks[k] = renderWhole(alone, 1);
                }
            });
        for (std::thread& worker : workers) worker.join();
    });
    std::vector<float> added(whole.size(), 0.0f);
    for (const auto& track : tracks)
        for (std::size_t i = 0; i < std::min(added.size(), track.size()); ++i) added[i] += track[i];

    std::printf("%-24s %7.3f %9.3f (%5.1f dB) %9.3f (%5.1f dB)\n",
                path.substr(path.rfind('/') + 1).c_str(), one, grouped,
                decibelsBelowPeak(whole, summed(outputs, slots.size())), parallel,
                decibelsBelowPeak(whole, added));
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> documents(argv + 1, argv + argc);
    if (documents.empty())
        for (const char* demo : {"morse_procession", "noise_nocturne", "orbit_garden"})
            documents.push_back(std::string(HALVORN_SOURCE_DIR "/examples/") + demo + ".hvn");
    std::printf(
        "seconds to render, and the summed tracks against one synthesizer (dB below its "
        "peak), on %u cores\n",
        std::thread::hardware_concurrency());
    std::printf("%-24s %7s %20s %20s\n", "piece", "one", "output per track", "synth per track");
    for (const std::string& path : documents) bench(path);
    return 0;
}

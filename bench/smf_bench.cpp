// The event sort against std::stable_sort, and Standard MIDI File writing and
// reading of large songs.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>

#include "midi/smf.h"

namespace halvorn {
namespace {

enum class Times { Random32, SongLike };

// Song-like times lie within a few million ticks and arrive nearly in order:
// placements of note pairs whose ends overlap the next starts.
std::vector<MidiEvent> makeEvents(std::size_t count, Times kind) {
    std::mt19937 rng(42);
    std::vector<MidiEvent> events(count);
    std::uint32_t cursor = 0;
    for (std::size_t i = 0; i < count; ++i) {
        MidiEvent& e = events[i];
        if (kind == Times::Random32) {
            e.time = rng();
        } else {
            cursor += rng() % 7;
            e.time = (cursor + rng() % 480) & 0x3FFFFF;
        }
        e.status = 0x90;
        e.data1 = static_cast<std::uint8_t>(i & 0x7F);
        e.data2 = static_cast<std::uint8_t>((i >> 7) & 0x7F);
    }
    return events;
}

void sortBenchmark(benchmark::State& state, Times kind, bool radix) {
    const auto input = makeEvents(static_cast<std::size_t>(state.range(0)), kind);
    std::vector<MidiEvent> events;
    for (auto _ : state) {
        state.PauseTiming();
        events = input;
        state.ResumeTiming();
        if (radix)
            benchmark::DoNotOptimize(midiSortEvents(events));
        else
            std::stable_sort(
                events.begin(), events.end(),
                [](const MidiEvent& a, const MidiEvent& b) { return a.time < b.time; });
        benchmark::DoNotOptimize(events.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_RadixSortRandom(benchmark::State& s) {
    sortBenchmark(s, Times::Random32, true);
}
void BM_StableSortRandom(benchmark::State& s) {
    sortBenchmark(s, Times::Random32, false);
}
void BM_RadixSortSongLike(benchmark::State& s) {
    sortBenchmark(s, Times::SongLike, true);
}
void BM_StableSortSongLike(benchmark::State& s) {
    sortBenchmark(s, Times::SongLike, false);
}

BENCHMARK(BM_RadixSortRandom)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StableSortRandom)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RadixSortSongLike)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StableSortSongLike)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

// 16 tracks of note pairs, 10 M events in all.
MidiSong bigSong(std::size_t totalEvents) {
    MidiSong song;
    const std::size_t perTrack = totalEvents / kMidiTrackSlots;
    for (int slot = 0; slot < kMidiTrackSlots; ++slot) {
        MidiTrack& track = song.tracks[slot];
        track.name = "Track " + std::to_string(slot);
        track.events.reserve(perTrack);
        std::uint32_t time = 0;
        for (std::size_t i = 0; i + 1 < perTrack; i += 2) {
            const auto pitch = static_cast<std::uint8_t>(36 + (i / 2) % 48);
            const auto status = static_cast<std::uint8_t>(0x90 | slot);
            track.events.push_back({time, status, pitch, 100});
            track.events.push_back({time + 29, status, pitch, 0});
            time += (i % 64 == 0) ? 200 : 30;  // mostly one-byte deltas, some two
        }
    }
    midiSongCountEvents(song);
    midiSongComputeLength(song);
    return song;
}

std::string scratchPath() {
    return "/tmp/halvorn-bench-" + std::to_string(::getpid()) + ".mid";
}

void BM_WriteFile(benchmark::State& state) {
    const MidiSong song = bigSong(static_cast<std::size_t>(state.range(0)));
    const std::string path = scratchPath();
    for (auto _ : state)
        if (midiSongWriteFile(path, &song) != MidiResult::kOk) state.SkipWithError("write failed");
    state.SetItemsProcessed(state.iterations() * song.eventCount);
    ::unlink(path.c_str());
}

void BM_ReadFile(benchmark::State& state) {
    const MidiSong written = bigSong(static_cast<std::size_t>(state.range(0)));
    const std::string path = scratchPath();
    if (midiSongWriteFile(path, &written) != MidiResult::kOk) state.SkipWithError("writing failed");
    for (auto _ : state) {
        MidiSong song;
        if (midiSongReadFile(path, &song) != MidiResult::kOk) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(song.eventCount);
    }
    state.SetItemsProcessed(state.iterations() * written.eventCount);
    ::unlink(path.c_str());
}

BENCHMARK(BM_WriteFile)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadFile)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace halvorn

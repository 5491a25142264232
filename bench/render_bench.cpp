// Rendering at the limits the pages allow: blocks of 8 measures of 9/4 in
// "1/64" triplets, and a song of 16 such tracks placed on every grid
// position over 999 measures.
#include <benchmark/benchmark.h>

#include "bench/worst_case.h"
#include "engine/arrangement.h"
#include "engine/block_render.h"
#include "midi/midi_settings.h"
#include "model/random.h"
#include "model/song.h"

namespace halvorn {
namespace {

void BM_RenderBlockNotes(benchmark::State& state) {
    const Song song = worstCaseSong();
    for (auto _ : state) {
        NoteList notes = renderBlockNotes(song, 0);
        benchmark::DoNotOptimize(notes.data());
        state.counters["notes"] = static_cast<double>(notes.size());
    }
}
BENCHMARK(BM_RenderBlockNotes);

void BM_RenderSong(benchmark::State& state) {
    Song song = worstCaseSong();
    MidiSong midi;
    NoRenderProgress progress;
    for (auto _ : state) {
        static_cast<void>(renderSong(midi, song, progress, false, kDefaultPpqn));
        benchmark::DoNotOptimize(midi.eventCount);
    }
    state.counters["events"] = static_cast<double>(midi.eventCount);
}
BENCHMARK(BM_RenderSong)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace halvorn

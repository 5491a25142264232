// Rendering at the limits the pages allow: blocks of 8 measures of 9/4 in
// "1/64" triplets, and a song of 16 such tracks placed on every grid
// position over 999 measures.
#include <benchmark/benchmark.h>

#include "engine/arrangement.h"
#include "engine/block_render.h"
#include "fractal/parameters.h"
#include "model/random.h"
#include "model/song.h"

namespace halvorn {
namespace {

Song worstCaseSong() {
    Song song = songInit();
    randomSelectGenerator(kInternalGenerator);
    song.beatsPerMeasure = 9;
    song.lengthMeasures = 999;
    song.minNoteExponent = kMinNoteExponent;
    song.microsequenceCount = 1;
    microsequenceMakeNew(song.microsequences[0]);
    song.microsequences[0].fractalType = kFractalNoise;
    song.microsequences[0].parameters =
        NoiseParameters{.seed = 7, .correlation = 2, .range = 64}.toBytes();
    song.blockCount = kMaxBlocks;
    for (std::int32_t i = 0; i < kMaxBlocks; ++i) {
        Block& block = song.blocks[static_cast<std::size_t>(i)];
        blockMakeNew(block, i);
        block.lengthMeasures = 8;
        block.rhythmDistribution[0] = 1.0;  // "1/64"
        block.tripletProbability = 1.0;
        block.melodyRange = 24;
        block.accentLevel = 0.3;
        block.accents[0] = 1;
        block.seed = i + 1;
        song.macrosequences[static_cast<std::size_t>(i)].probability = 1.0;
    }
    return song;
}

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
        renderSong(midi, song, progress, false);
        benchmark::DoNotOptimize(midi.eventCount);
    }
    state.counters["events"] = static_cast<double>(midi.eventCount);
}
BENCHMARK(BM_RenderSong)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace halvorn

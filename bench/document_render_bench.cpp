// The heaviest document the pages allow, the way "Save MIDI" and
// `halvorn-cli render` handle it: 16 tracks of 8-measure 9/4 blocks in
// "1/64" triplets placed with probability 1 over 999 measures; read from its
// bytes, rendered, given its texts and written as a Standard MIDI File.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <filesystem>
#include <string>

#include "engine/arrangement.h"
#include "midi/midi_settings.h"
#include "midi/smf.h"
#include "model/document.h"
#include "model/random.h"

namespace halvorn {
namespace {

Document worstCaseDocument() {
    Document document;
    document.title = "Worst case";
    document.author = "Benchmark";
    Song& song = document.song;
    song.beatsPerMeasure = 9;
    song.lengthMeasures = 999;
    song.minNoteExponent = kMinNoteExponent;
    song.microsequenceCount = 2;
    microsequenceMakeNew(song.microsequences[0]);
    song.microsequences[0].fractalType = kFractalNoise;
    song.microsequences[0].parameters = NoiseParameters{7, 2, 64}.toBytes();
    microsequenceMakeNew(song.microsequences[1]);
    song.microsequences[1].fractalType = kFractalMorseThue;
    song.microsequences[1].parameters = MorseThueParameters{7, 1000, 13}.toBytes();
    song.blockCount = kMaxBlocks;
    for (std::int32_t i = 0; i < kMaxBlocks; ++i) {
        Block& block = song.blocks[static_cast<std::size_t>(i)];
        blockMakeNew(block, i);
        block.lengthMeasures = 8;
        block.rhythmDistribution[0] = 1.0;  // "1/64"
        block.tripletProbability = 1.0;
        block.melodyRange = 24;
        block.velocitySequence = 1;
        block.seed = i + 1;
        song.macrosequences[static_cast<std::size_t>(i)].probability = 1.0;
    }
    return document;
}

std::string scratchPath() {
    return (std::filesystem::temp_directory_path() /
            ("halvorn_document_bench_" + std::to_string(::getpid()) + ".mid"))
        .string();
}

// Read, render, texts, write: everything `halvorn-cli render` does.
void BM_WorstCaseDocumentToMidiFile(benchmark::State& state) {
    randomSelectGenerator(kInternalGenerator);
    midiSettings().ppqnSetting = 120;
    const std::vector<std::uint8_t> bytes = documentEncode(worstCaseDocument());
    const std::string path = scratchPath();
    NoRenderProgress progress;
    std::uint32_t events = 0;
    for (auto _ : state) {
        Document document;
        std::string error;
        if (!documentDecode(bytes, document, error)) state.SkipWithError(error.c_str());
        MidiSong midi;
        if (!renderSong(midi, document.song, progress, false))
            state.SkipWithError("rendering failed");
        midi.title = document.title;
        midi.copyright = document.author;
        midi.comments = document.comments;
        if (midiSongWriteFile(path, &midi) != kMidiOk) state.SkipWithError("writing failed");
        events = midi.eventCount;
    }
    state.counters["events"] = static_cast<double>(events);
    state.counters["file MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    std::filesystem::remove(path);
}
BENCHMARK(BM_WorstCaseDocumentToMidiFile)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DocumentRoundTrip(benchmark::State& state) {
    const Document original = worstCaseDocument();
    for (auto _ : state) {
        const std::vector<std::uint8_t> bytes = documentEncode(original);
        Document document;
        std::string error;
        benchmark::DoNotOptimize(documentDecode(bytes, document, error));
    }
}
BENCHMARK(BM_DocumentRoundTrip);

}  // namespace
}  // namespace halvorn

// The heaviest document the pages allow, the way "Save MIDI" and
// `halvorn-cli render` handle it: 16 tracks of 8-measure 9/4 blocks in
// "1/64" triplets placed with probability 1 over 999 measures; read from its
// bytes, rendered, given its texts and written as a Standard MIDI File.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <filesystem>
#include <string>

#include "bench/worst_case.h"
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
    document.song = worstCaseSong();
    return document;
}

std::string scratchPath() {
    return (std::filesystem::temp_directory_path() /
            ("halvorn_document_bench_" + std::to_string(::getpid()) + ".mid"))
        .string();
}

// Read, render, texts, write: everything `halvorn-cli render` does.
void BM_WorstCaseDocumentToMidiFile(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = documentEncode(worstCaseDocument());
    const std::string path = scratchPath();
    NoRenderProgress progress;
    std::uint32_t events = 0;
    for (auto _ : state) {
        auto decoded = documentDecode(bytes);
        if (!decoded) state.SkipWithError(decoded.error().line().c_str());
        Document& document = *decoded;
        MidiSong midi;
        if (!renderSong(midi, document.song, progress, false, kDefaultPpqn))
            state.SkipWithError("rendering failed");
        midi.title = document.title;
        midi.copyright = document.author;
        midi.comments = document.comments;
        if (midiSongWriteFile(path, &midi) != MidiResult::kOk)
            state.SkipWithError("writing failed");
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
        benchmark::DoNotOptimize(documentDecode(bytes));
    }
}
BENCHMARK(BM_DocumentRoundTrip);

}  // namespace
}  // namespace halvorn

// Writes a variant of a document, for the live playback checks and the JACK
// playback benchmark: a demo cut to a few measures, at another tempo, or
// made dense.
//
// Usage: song_variant IN.hvn OUT.hvn [--measures N] [--tempo BPM] [--dense]
//                    [--loud]
// --dense: the blocks are copied until all 16 tracks play, each copy on a
// channel of its own; every block plays sixteenth notes only, and every
// track places its block on every chance, unstretched and unmuted.
// --loud: every note at full velocity, every track at full volume.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "model/document.h"

namespace {

using namespace halvorn;

constexpr std::int32_t kSixteenthExponent = -4;

void makeDense(Song& song) {
    const std::int32_t originals = song.blockCount;
    for (std::int32_t i = originals; i < kMaxBlocks; ++i) {
        song.blocks[i] = song.blocks[i % originals];
        song.macrosequences[i] = song.macrosequences[i % originals];
        song.macrosequences[i].seed += i;
    }
    song.blockCount = kMaxBlocks;
    song.minNoteExponent = kSixteenthExponent;
    song.maxNoteExponent = kSixteenthExponent;
    for (std::int32_t i = 0; i < kMaxBlocks; ++i) {
        Block& block = song.blocks[i];
        block.channel = i;
        block.rhythmDistribution = {};
        block.rhythmDistribution[kSixteenthExponent - kMinNoteExponent] = 1.0;
        block.dottedProbability = 0.0;
        block.tripletProbability = 0.0;
        block.legato = 0.9;
        Macrosequence& track = song.macrosequences[i];
        track.muted = 0;
        track.probability = 1.0;
        track.alignment = makeAlignment(block.lengthMeasures, 0);
        track.stretchProbabilities = {1.0, 0.0, 0.0, 0.0};
    }
}

void makeLoud(Song& song) {
    for (std::int32_t i = 0; i < song.blockCount; ++i) {
        Block& block = song.blocks[i];
        block.velocityThreshold = 0.0;
        block.velocityRange = 0;
        block.velocityAmp = 2.0;  // 100/127 doubled, held to full velocity
        block.accentLevel = 0.0;
        song.macrosequences[i].volume = 1.0;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: song_variant IN.hvn OUT.hvn [--measures N] [--tempo BPM] [--dense] "
                     "[--loud]\n");
        return 2;
    }
    auto document = documentRead(argv[1]);
    if (!document) {
        std::fprintf(stderr, "song_variant: %s\n", document.error().line().c_str());
        return 1;
    }
    Song& song = document->song;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dense") == 0)
            makeDense(song);
        else if (std::strcmp(argv[i], "--loud") == 0)
            makeLoud(song);
        else if (std::strcmp(argv[i], "--measures") == 0 && i + 1 < argc)
            song.lengthMeasures = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--tempo") == 0 && i + 1 < argc)
            song.tempo = std::atoi(argv[++i]);
        else {
            std::fprintf(stderr, "song_variant: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    if (auto written = documentWrite(argv[2], *document); !written) {
        std::fprintf(stderr, "song_variant: %s\n", written.error().line().c_str());
        return 1;
    }
    return 0;
}

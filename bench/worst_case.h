#pragma once
// The heaviest composition the pages allow: 16 tracks of 8-measure 9/4 blocks
// in "1/64" triplets, placed with probability 1 over 999 measures.

#include "fractal/parameters.h"
#include "model/random.h"
#include "model/song.h"

namespace halvorn {

inline Song worstCaseSong() {
    Song song = songInit();
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
        block.accentLevel = 0.3;
        block.accents[0] = 1;
        block.seed = i + 1;
        song.macrosequences[static_cast<std::size_t>(i)].probability = 1.0;
    }
    return song;
}

}  // namespace halvorn

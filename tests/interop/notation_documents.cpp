// Helper for the notation interop test: `notation_documents DIR` writes
// documents that between them hold every note value, dotted values,
// triplets, every stretch factor, every key and scale type, silent and
// accented notes, notes across barlines, parts that need a grand staff, and
// the instruments written apart: drums, octave-transposing instruments and
// notes at both ends of the MIDI range.
#include <cstdio>
#include <functional>
#include <string>

#include "fractal/parameters.h"
#include "model/document.h"

namespace {

using namespace halvorn;

Document newDocument(const std::string& title, std::int32_t key, std::int32_t scaleType,
                     std::int32_t beats, std::int32_t measures) {
    Document document;
    document.title = title;
    document.author = "Notation test";
    document.comments = "Generated for the notation interop test.";
    document.scaleKey = key;
    document.scaleType = scaleType;
    scaleSetIntervals(document.song.scale, scaleTypeIntervals(scaleType));
    scaleSetKey(document.song.scale, key);
    Song& song = document.song;
    song.tempo = 120;
    song.beatsPerMeasure = beats;
    song.lengthMeasures = measures;
    song.minNoteExponent = kMinNoteExponent;
    song.maxNoteExponent = kMaxNoteExponent;
    const auto add = [&song](const char* name, std::int32_t type, ParameterBytes parameters) {
        Microsequence& sequence = song.microsequences[song.microsequenceCount++];
        microsequenceMakeNew(sequence);
        setDescription(sequence.description, name);
        sequence.fractalType = type;
        sequence.period = 64;
        sequence.parameters = std::move(parameters);
    };
    add("Melody", kFractalMorseThue, MorseThueParameters{3, 1, 1}.toBytes());
    add("Dynamics", kFractalNoise, NoiseParameters{7, 2, 60}.toBytes());
    return document;
}

// A track of one block: `exponent`'s value only (or the 1/16 to 1/2 range
// with -1), melody over `range` degrees from `offset`.
Block& addTrack(Document& document, const std::string& name, std::int32_t exponent,
                std::int32_t measures, std::int32_t seed) {
    Song& song = document.song;
    const std::int32_t index = song.blockCount++;
    Block& block = song.blocks[static_cast<std::size_t>(index)];
    blockMakeNew(block, index);
    setDescription(block.description, name);
    block.lengthMeasures = measures;
    block.melodySequence = 0;
    block.melodyRange = 8;
    block.melodyOffset = 0;
    block.velocitySequence = 1;
    block.velocityRange = 60;
    block.rhythmDistribution = {};
    if (exponent >= kMinNoteExponent) {
        block.rhythmDistribution[static_cast<std::size_t>(exponent - kMinNoteExponent)] = 1.0;
    } else {
        for (std::int32_t e = -4; e <= -1; ++e)
            block.rhythmDistribution[static_cast<std::size_t>(e - kMinNoteExponent)] = 0.25;
    }
    block.seed = seed;
    block.program = index * 7 % 128;
    block.channel = index % 9;
    Macrosequence& track = song.macrosequences[static_cast<std::size_t>(index)];
    macrosequenceReset(track);
    track.seed = seed + 100;
    track.alignment = makeAlignment(measures, 0);
    return block;
}

bool save(const std::string& directory, const std::string& name, const Document& document) {
    const std::string path = directory + "/" + name + ".hvn";
    if (const auto written = documentWrite(path, document); !written) {
        std::fprintf(stderr, "%s\n", written.error().line().c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}

// Each value alone, in 3/4 so the long ones cross barlines; then dotted,
// then triplets (dotted among them) in 5/4.
Document valuesDocument(const std::string& title, std::int32_t beats, double dotted,
                        double triplets) {
    Document document = newDocument(title, 0, kScaleMajor, beats, 8);
    for (std::int32_t e = kMinNoteExponent; e <= kMaxNoteExponent; ++e) {
        Block& block = addTrack(
            document, std::string(kNoteValueNames[static_cast<std::size_t>(e - kMinNoteExponent)]),
            e, 8, 3 + e * 11);
        block.dottedProbability = dotted;
        block.tripletProbability = triplets;
        block.legato = 0.75;
    }
    return document;
}

// One track per stretch factor, displaced by a measure on a two-measure grid.
Document stretchDocument() {
    Document document = newDocument("Stretch factors", 9, kScaleMinor, 4, 24);
    for (std::size_t factor = 0; factor < 4; ++factor) {
        Block& block = addTrack(document, "Stretch x" + std::to_string(1 << factor), -1, 1,
                                static_cast<std::int32_t>(40 + factor));
        block.dottedProbability = 0.3;
        block.tripletProbability = 0.3;
        Macrosequence& track = document.song.macrosequences[static_cast<std::size_t>(factor)];
        track.stretchProbabilities = {};
        track.stretchProbabilities[factor] = 1.0;
        track.alignment = makeAlignment(2, factor == 1 ? 1 : 0);
    }
    return document;
}

// Key k with scale type k % 4: a wide line (grand staff), a high one with
// accents and a low one with silent notes.
Document keyDocument(std::int32_t key) {
    const std::int32_t type = key % 4;
    Document document =
        newDocument(std::string("Key of ") + std::string(kKeyNames[static_cast<std::size_t>(key)]) +
                        " " + std::string(kScaleTypeNames[static_cast<std::size_t>(type)]),
                    key, type, 3 + key % 4, 4);
    if (key == 0) {
        // Markup characters and Windows-1252 letters must arrive as text.
        document.title = "Caf\xe9 <&> \"quoted\" 'apostrophe'";
        document.author =
            "Ren\xe9"
            "e & \x80"
            "uro";
    }
    Block& wide = addTrack(document, "Wide", -1, 2, 10 + key);
    wide.melodySequence = 1;  // the noise spreads over the whole range
    wide.melodyRange = 24;
    wide.melodyOffset = -10;
    Block& high = addTrack(document, "High", -1, 1, 20 + key);
    high.melodyOffset = 7;
    high.accents = {1, 0, 1, 0, 0, 0, 0, 0, 0};
    high.accentLevel = 0.3;
    high.tripletProbability = 0.2;
    Block& low = addTrack(document, "Low", -1, 1, 30 + key);
    low.melodyOffset = -14;
    low.velocityThreshold = 0.6;
    low.dottedProbability = 0.3;
    return document;
}

// The instruments notation treats apart: a drum kit on the percussion
// channel, octave-transposing piccolo, glockenspiel, guitar and contrabass,
// a low cello, a horn, a piano line that runs off both ends of the keyboard
// (its melody wraps from note 127 to 0 inside a measure) and one down in
// MIDI's lowest octave.
Document ensembleDocument() {
    Document document = newDocument("Ensemble", 2, kScaleMajor, 4, 6);
    const auto instrument = [&document](const char* name, std::int32_t program, std::int32_t offset,
                                        std::int32_t seed) -> Block& {
        Block& block = addTrack(document, name, -1, 2, seed);
        block.program = program;
        block.melodyOffset = offset;
        block.tripletProbability = 0.25;
        block.dottedProbability = 0.2;
        return block;
    };
    Block& drums = instrument("", 0, 0, 50);
    drums.channel = 9;
    drums.melodySequence = 1;  // keys from the noise, over the drum map
    drums.melodyRange = 30;
    drums.melodyOffset = -15;
    instrument("Piccolo", 72, 14, 51);
    instrument("Glockenspiel", 9, 7, 52);
    instrument("Guitar", 24, -7, 53);
    instrument("Contrabass", 43, -21, 54);
    instrument("Cello", 42, -12, 55).melodyRange = 4;
    instrument("Horn", 60, -2, 56);
    Block& wrap = instrument("Wrap", 0, 33, 57);
    wrap.melodySequence = 1;  // the noise: up past note 127 and round to 0
    wrap.melodyRange = 12;
    Block& deep = instrument("Deep", 0, -35, 58);
    deep.melodySequence = 1;
    deep.melodyRange = 6;
    return document;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: notation_documents DIR\n");
        return 2;
    }
    const std::string directory = argv[1];
    bool ok = save(directory, "values", valuesDocument("Every value", 3, 0.0, 0.0)) &&
              save(directory, "dotted", valuesDocument("Dotted values", 4, 0.5, 0.0)) &&
              save(directory, "triplets", valuesDocument("Triplets", 5, 0.3, 0.5)) &&
              save(directory, "stretch", stretchDocument()) &&
              save(directory, "ensemble", ensembleDocument());
    for (std::int32_t key = 0; ok && key < 12; ++key)
        ok = save(directory, "key" + std::to_string(key), keyDocument(key));
    return ok ? 0 : 1;
}

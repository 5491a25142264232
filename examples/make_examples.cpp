// Builds the demo documents in examples/. Run through scripts/make-examples,
// which compiles this program and writes the .hvn files beside it.
//
//   orbit_garden.hvn      D pentatonic, 4/4: Mandelbrot orbits and lines, a
//                         stretched pad and a muted countermelody.
//   morse_procession.hvn  E minor, 3/4: Morse-Thue melodies with triplets
//                         over a walking bass, bells on a displaced grid.
//   noise_nocturne.hvn    F major, 4/4: pink-noise melodies for piano,
//                         vibraphone and cello, slow and stretched.
#include <array>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fractal/parameters.h"
#include "model/document.h"

namespace halvorn {
namespace {

// ---- microsequences ---------------------------------------------------------

Microsequence sequence(const char* name, std::int32_t type, std::int32_t period,
                       ParameterBytes parameters) {
    Microsequence microsequence;
    microsequenceMakeNew(microsequence);
    setDescription(microsequence.description, name);
    microsequence.fractalType = type;
    microsequence.period = period;
    microsequence.parameters = std::move(parameters);
    return microsequence;
}

Microsequence orbit(const char* name, std::int32_t period, double cx, double cy) {
    MandelbrotParameters p{-2.0, -1.25, 0.5, 1.25, cx, cy, 0.0, 0.0, MandelbrotParameters::kOrbit};
    return sequence(name, kFractalMandelbrot, period, p.toBytes());
}

Microsequence line(const char* name, std::int32_t period, double x1, double y1, double x2,
                   double y2) {
    MandelbrotParameters p{-2.0, -1.25, 0.5, 1.25, x1, y1, x2, y2, MandelbrotParameters::kLine};
    return sequence(name, kFractalMandelbrot, period, p.toBytes());
}

Microsequence morseThue(const char* name, std::int32_t period, std::int32_t base,
                        std::int32_t start, std::int32_t step) {
    return sequence(name, kFractalMorseThue, period,
                    MorseThueParameters{base, start, step}.toBytes());
}

Microsequence noise(const char* name, std::int32_t period, std::int32_t seed,
                    std::int32_t correlation, std::int32_t range) {
    return sequence(name, kFractalNoise, period,
                    NoiseParameters{seed, correlation, range}.toBytes());
}

// ---- blocks and tracks ------------------------------------------------------

// A probability as the pages' inverted sliders store it, 1 - position / 100
// (0.15 becomes 0.15000000000000002): a demo that is opened and played
// without a change then reads back from the pages exactly as it was, and
// nothing asks to be saved.
double asPageStores(double probability) {
    return 1.0 - static_cast<double>(100 - std::lround(probability * 100.0)) / 100.0;
}

// Probabilities of note values by name ("1/16", "1/8", ...).
using Rhythm = std::vector<std::pair<std::string_view, double>>;

void setRhythm(Block& block, const Rhythm& rhythm) {
    block.rhythmDistribution = {};
    for (const auto& [name, probability] : rhythm)
        for (std::size_t k = 0; k < kNoteValueNames.size(); ++k)
            if (kNoteValueNames[k] == name) block.rhythmDistribution[k] = asPageStores(probability);
}

void setAccents(Block& block, std::initializer_list<int> beats, double level) {
    block.accents = {};
    for (const int beat : beats) block.accents[static_cast<std::size_t>(beat - 1)] = 1;
    block.accentLevel = level;
}

struct Voice {
    const char* name;
    std::int32_t program;
    std::int32_t channel;
    std::int32_t measures;
    std::int32_t melodySequence, melodyRange, melodyOffset;
    std::int32_t velocitySequence, velocityRange;
    double velocityAmp;
    Rhythm rhythm;
    double dotted, triplets, legato;
    std::int32_t seed;
};

Block block(const Voice& voice, std::int32_t index) {
    Block b;
    blockMakeNew(b, index);
    setDescription(b.description, voice.name);
    b.lengthMeasures = voice.measures;
    b.melodySequence = voice.melodySequence;
    b.melodyRange = voice.melodyRange;
    b.melodyOffset = voice.melodyOffset;
    b.velocitySequence = voice.velocitySequence;
    b.velocityRange = voice.velocityRange;
    b.velocityAmp = voice.velocityAmp;
    setRhythm(b, voice.rhythm);
    b.dottedProbability = asPageStores(voice.dotted);
    b.tripletProbability = asPageStores(voice.triplets);
    b.legato = voice.legato;
    b.seed = voice.seed;
    b.program = voice.program;
    b.channel = voice.channel;
    return b;
}

struct Arrangement {
    double probability;
    std::int32_t grid, displacement;
    std::array<double, 4> stretch;
    double volume, panning;
    std::int32_t seed;
    bool muted = false;
};

Macrosequence track(const Arrangement& arrangement) {
    Macrosequence m;
    m.probability = asPageStores(arrangement.probability);
    m.alignment = makeAlignment(arrangement.grid, arrangement.displacement);
    for (std::size_t i = 0; i < m.stretchProbabilities.size(); ++i)
        m.stretchProbabilities[i] = asPageStores(arrangement.stretch[i]);
    m.volume = asPageStores(arrangement.volume);
    m.panning = arrangement.panning;
    m.seed = arrangement.seed;
    m.muted = arrangement.muted ? 1 : 0;
    return m;
}

// ---- documents --------------------------------------------------------------

Document newDocument(const char* title, const char* comments, std::int32_t key,
                     std::int32_t scaleType) {
    Document document;
    document.title = title;
    document.author = "Halvorn examples";
    document.comments = comments;
    document.scaleKey = key;
    document.scaleType = scaleType;
    scaleSetIntervals(document.song.scale, scaleTypeIntervals(scaleType));
    scaleSetKey(document.song.scale, key);
    return document;
}

void addSequences(Song& song, std::initializer_list<Microsequence> sequences) {
    for (const Microsequence& s : sequences) song.microsequences[song.microsequenceCount++] = s;
}

void addTrack(Song& song, const Voice& voice, const Arrangement& arrangement,
              std::int32_t accentBeat = 1, double accentLevel = 0.2) {
    const std::int32_t index = song.blockCount++;
    song.blocks[index] = block(voice, index);
    setAccents(song.blocks[index], {accentBeat}, accentLevel);
    song.macrosequences[index] = track(arrangement);
}

constexpr std::array<double, 4> kPlain{1.0, 0.0, 0.0, 0.0};

Document orbitGarden() {
    Document d = newDocument("Orbit Garden", "Mandelbrot orbits and lines in D pentatonic.", 2,
                             kScalePentatonic);
    Song& song = d.song;
    song.tempo = 96;
    song.lengthMeasures = 32;
    song.minNoteExponent = -4;  // "1/16"
    song.maxNoteExponent = 0;   // "1"
    addSequences(song, {
                           orbit("Siegel orbit", 48, -0.39, 0.59),
                           line("Seahorse line", 64, -0.8, 0.16, -0.7, 0.3),
                           noise("Pink dynamics", 128, 2024, 2, 40),
                           morseThue("Quaternary steps", 16, 4, 3, 1),
                           orbit("Valley orbit", 32, -0.75, 0.1),
                       });
    addTrack(song,
             {"Marimba",
              12,
              0,
              4,
              0,
              9,
              2,
              2,
              45,
              1.1,
              {{"1/16", 0.15}, {"1/8", 0.6}, {"1/4", 0.25}},
              0.1,
              0.0,
              0.9,
              11},
             {0.85, 4, 0, {0.85, 0.15, 0.0, 0.0}, 0.85, 0.35, 3});
    addTrack(
        song,
        {"Bass", 33, 1, 2, 3, 5, -10, 2, 30, 1.0, {{"1/4", 0.6}, {"1/2", 0.4}}, 0.0, 0.0, 0.8, 5},
        {1.0, 2, 0, kPlain, 0.8, 0.5, 7});
    addTrack(
        song,
        {"Warm pad", 89, 2, 4, 0, 5, -5, 2, 25, 0.9, {{"1/2", 0.4}, {"1", 0.6}}, 0.0, 0.0, 1.0, 9},
        {0.8, 4, 0, {0.4, 0.6, 0.0, 0.0}, 0.6, 0.5, 12});
    addTrack(song,
             {"Flute echo",
              73,
              3,
              2,
              1,
              8,
              5,
              2,
              40,
              1.0,
              {{"1/8", 0.6}, {"1/4", 0.4}},
              0.2,
              0.0,
              0.85,
              21},
             {0.5, 2, 1, kPlain, 0.7, 0.7, 4, true});
    return d;
}

Document morseProcession() {
    Document d = newDocument("Morse Procession",
                             "Digit sums in bases 3, 4 and 7, walking in E minor.", 4, kScaleMinor);
    Song& song = d.song;
    song.tempo = 84;
    song.beatsPerMeasure = 3;
    song.lengthMeasures = 36;
    song.minNoteExponent = -4;
    song.maxNoteExponent = -1;  // "1/2"
    addSequences(song, {
                           morseThue("Ternary walk", 27, 3, 5, 1),
                           morseThue("Quaternary climb", 24, 4, 3, 1),
                           noise("Breathing", 64, 77, 3, 40),
                           morseThue("Bass steps", 16, 6, 1, 1),
                           morseThue("Septenary fall", 25, 7, 3, 5),
                       });
    addTrack(song,
             {"Oboe",
              68,
              0,
              4,
              0,
              7,
              2,
              2,
              40,
              1.1,
              {{"1/8", 0.5}, {"1/4", 0.4}, {"1/2", 0.1}},
              0.15,
              0.3,
              0.9,
              31},
             {0.9, 4, 0, {0.85, 0.15, 0.0, 0.0}, 0.85, 0.4, 8}, 1, 0.25);
    addTrack(song,
             {"Strings",
              48,
              1,
              4,
              1,
              6,
              -7,
              2,
              30,
              0.95,
              {{"1/4", 0.5}, {"1/2", 0.5}},
              0.0,
              0.0,
              1.0,
              17},
             {1.0, 4, 0, {0.6, 0.4, 0.0, 0.0}, 0.7, 0.6, 2}, 1, 0.15);
    addTrack(song,
             {"Walking bass", 32, 2, 2, 3, 5, -14, 2, 25, 1.0, {{"1/4", 1.0}}, 0.0, 0.0, 0.85, 3},
             {1.0, 2, 0, kPlain, 0.8, 0.45, 5}, 1, 0.3);
    addTrack(
        song,
        {"Bells", 14, 3, 2, 4, 5, 7, 2, 30, 0.8, {{"1/2", 0.6}, {"1/4", 0.4}}, 0.0, 0.0, 1.0, 44},
        {0.6, 2, 1, {0.7, 0.3, 0.0, 0.0}, 0.5, 0.8, 13});
    return d;
}

Document noiseNocturne() {
    Document d =
        newDocument("Noise Nocturne",
                    "Pink noise at night: piano, vibraphone and cello in F major.", 5, kScaleMajor);
    Song& song = d.song;
    song.tempo = 66;
    song.lengthMeasures = 24;
    song.minNoteExponent = -4;
    song.maxNoteExponent = 1;  // "2"
    addSequences(song, {
                           noise("Pink melody", 96, 1969, 2, 4),
                           noise("Deep drift", 64, 31337, 4, 2),
                           noise("Soft touch", 128, 8, 1, 60),
                           line("Needle line", 32, -1.95, 0.02, -1.4, 0.05),
                           morseThue("Cello steps", 48, 5, 1, 1),
                       });
    addTrack(song,
             {"Piano",
              0,
              0,
              4,
              0,
              10,
              0,
              2,
              45,
              1.0,
              {{"1/16", 0.1}, {"1/8", 0.45}, {"1/4", 0.35}, {"1/2", 0.1}},
              0.1,
              0.05,
              0.95,
              8},
             {0.9, 4, 0, {0.9, 0.1, 0.0, 0.0}, 0.9, 0.45, 19}, 1, 0.2);
    addTrack(song,
             {"Vibraphone",
              11,
              1,
              2,
              3,
              7,
              7,
              2,
              35,
              0.9,
              {{"1/4", 0.5}, {"1/2", 0.5}},
              0.2,
              0.0,
              1.0,
              27},
             {0.6, 2, 2, {0.5, 0.3, 0.2, 0.0}, 0.6, 0.75, 23});
    addTrack(song,
             {"Cello",
              42,
              2,
              4,
              4,
              5,
              -7,
              2,
              30,
              1.0,
              {{"1/2", 0.6}, {"1", 0.3}, {"2", 0.1}},
              0.0,
              0.0,
              1.0,
              6},
             {1.0, 4, 0, {0.5, 0.5, 0.0, 0.0}, 0.75, 0.3, 29});
    addTrack(song,
             {"Celesta",
              8,
              3,
              1,
              1,
              6,
              14,
              2,
              30,
              0.8,
              {{"1/8", 0.6}, {"1/16", 0.4}},
              0.0,
              0.3,
              0.7,
              35},
             {0.4, 4, 3, {0.0, 0.0, 1.0, 0.0}, 0.5, 0.6, 31, true});
    return d;
}

bool save(const std::string& directory, const char* name, const Document& document) {
    const std::string path = directory + "/" + name;
    if (const auto written = documentWrite(path, document); !written) {
        std::fprintf(stderr, "make_examples: %s\n", written.error().line().c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}

}  // namespace
}  // namespace halvorn

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_examples DIRECTORY\n");
        return 2;
    }
    const std::string directory = argv[1];
    using namespace halvorn;
    const bool saved = save(directory, "orbit_garden.hvn", orbitGarden()) &&
                       save(directory, "morse_procession.hvn", morseProcession()) &&
                       save(directory, "noise_nocturne.hvn", noiseNocturne());
    return saved ? 0 : 1;
}

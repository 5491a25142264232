// halvorn-cli info SONG.hvn
// A readable summary of a document: texts, global settings, every
// microsequence with its decoded parameters, every block and every track.
#include <cstdio>
#include <string>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/song_files.h"
#include "fractal/parameters.h"
#include "model/text_codec.h"

namespace halvorn::cli {
namespace {

std::string number(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.10g", value);
    return buffer;
}

std::string percent(double fraction) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.4g%%", fraction * 100.0);
    return buffer;
}

// Built by appending: GCC 12 warns falsely (-Wrestrict) on "literal" + string.
std::string quoted(const std::string& text) {
    std::string out(1, '"');
    out += windows1252ToUtf8(text);
    out += '"';
    return out;
}

std::string plural(std::int64_t count, const char* unit) {
    return std::to_string(count) + " " + unit + (count == 1 ? "" : "s");
}

template <typename Table>
std::string tableName(const Table& table, std::int32_t index, const char* what) {
    if (index >= 0 && static_cast<std::size_t>(index) < table.size() && !table[index].empty())
        return std::string(table[static_cast<std::size_t>(index)]);
    return std::string(what) + " " + std::to_string(index);
}

std::string noteValueName(std::int32_t exponent) {
    return tableName(kNoteValueNames, exponent - kMinNoteExponent, "note exponent");
}

std::string point(double x, double y) {
    std::string out(1, '(');
    out += number(x);
    out += ", ";
    out += number(y);
    out += ')';
    return out;
}

std::string describeParameters(const Microsequence& sequence) {
    if (!sequence.parameters) return "no parameters (never saved)";
    const ParameterBytes& bytes = *sequence.parameters;
    switch (sequence.fractalType) {
        case kFractalMandelbrot: {
            const auto p = MandelbrotParameters::fromBytes(bytes);
            if (!p) break;
            const std::string path = p->pathKind == MandelbrotParameters::kOrbit
                                         ? "orbit of c = " + point(p->point1X, p->point1Y)
                                         : "line from " + point(p->point1X, p->point1Y) + " to " +
                                               point(p->point2X, p->point2Y);
            return path + "; view " + point(p->viewMinX, p->viewMinY) + " to " +
                   point(p->viewMaxX, p->viewMaxY);
        }
        case kFractalMorseThue: {
            const auto p = MorseThueParameters::fromBytes(bytes);
            if (!p) break;
            return "base " + std::to_string(p->base) + ", start " + std::to_string(p->start) +
                   ", step " + std::to_string(p->step);
        }
        case kFractalNoise: {
            const auto p = NoiseParameters::fromBytes(bytes);
            if (!p) break;
            return "seed " + std::to_string(p->seed) + ", correlation " +
                   tableName(kCorrelationNames, p->correlation, "level") + ", range " +
                   std::to_string(p->range);
        }
        default:
            return "no parameters";
    }
    return plural(static_cast<std::int64_t>(bytes.size()), "parameter byte");
}

void printTexts(const Document& document) {
    std::printf("Title: %s\n", quoted(document.title).c_str());
    std::printf("Author: %s\n", quoted(document.author).c_str());
    std::printf("Comments: %s\n", quoted(document.comments).c_str());
}

void printSettings(const Document& document) {
    const Song& song = document.song;
    std::printf("Tempo: %d quarter notes per minute\n", song.tempo);
    std::printf("Time signature: %d/4\n", song.beatsPerMeasure);
    std::printf("Note range: %s to %s\n", noteValueName(song.minNoteExponent).c_str(),
                noteValueName(song.maxNoteExponent).c_str());
    std::printf("Key: %s\n", tableName(kKeyNames, document.scaleKey, "key").c_str());
    std::printf("Scale: %s\n", tableName(kScaleTypeNames, document.scaleType, "type").c_str());
    std::printf("Length: %s\n", plural(song.lengthMeasures, "measure").c_str());
    std::printf("Random generator: %s, seed %d\n",
                song.generatorKind == 0 ? "internal"
                                        : ("kind " + std::to_string(song.generatorKind)).c_str(),
                song.generatorSeed);
}

void printMicrosequences(const Song& song) {
    std::printf("\nMicrosequences: %d\n", song.microsequenceCount);
    for (std::int32_t i = 0; i < song.microsequenceCount; ++i) {
        const Microsequence& sequence = song.microsequences[static_cast<std::size_t>(i)];
        const std::string type =
            sequence.fractalType == kFractalPlaceholder
                ? std::string("empty placeholder")
                : tableName(kFractalTypeNames, sequence.fractalType, "unknown type");
        std::printf("  %2d: %s\n", i, quoted(sequence.description).c_str());
        std::printf("      Type: %s, period %d\n", type.c_str(), sequence.period);
        std::printf("      Parameters: %s\n", describeParameters(sequence).c_str());
    }
}

std::string describeRhythm(const Block& block) {
    std::string text;
    for (std::size_t k = 0; k < block.rhythmDistribution.size(); ++k) {
        if (!text.empty()) text += ", ";
        text += std::string(kNoteValueNames[k]) + " " + percent(block.rhythmDistribution[k]);
    }
    return text;
}

std::string describeAccents(const Block& block) {
    std::string beats;
    int count = 0;
    for (std::size_t k = 0; k < block.accents.size(); ++k) {
        if (block.accents[k] == 0) continue;
        beats += (count++ == 0 ? "" : ", ") + std::to_string(k + 1);
    }
    const std::string accented =
        count == 0 ? std::string("none") : (count == 1 ? "beat " : "beats ") + beats;
    return accented + "; level " + percent(block.accentLevel);
}

void printBlocks(const Song& song) {
    std::printf("\nBlocks: %d\n", song.blockCount);
    for (std::int32_t i = 0; i < song.blockCount; ++i) {
        const Block& b = song.blocks[static_cast<std::size_t>(i)];
        std::printf("  %2d: %s\n", i, quoted(b.description).c_str());
        std::printf("      Length: %s\n", plural(b.lengthMeasures, "measure").c_str());
        std::printf("      Scale shown on the page: %s %s\n",
                    tableName(kKeyNames, b.scaleKey, "key").c_str(),
                    tableName(kScaleTypeNames, b.scaleType, "type").c_str());
        std::printf("      Melody: sequence %d, range %d, offset %d\n", b.melodySequence,
                    b.melodyRange, b.melodyOffset);
        std::printf("      Velocity: sequence %d, range %d%%, amp %s, threshold %s\n",
                    b.velocitySequence, b.velocityRange, percent(b.velocityAmp).c_str(),
                    percent(b.velocityThreshold).c_str());
        std::printf("      Rhythm: %s\n", describeRhythm(b).c_str());
        std::printf("      Dotted notes %s, triplets %s, legato %s, seed %d\n",
                    percent(b.dottedProbability).c_str(), percent(b.tripletProbability).c_str(),
                    percent(b.legato).c_str(), b.seed);
        std::printf("      Accents: %s\n", describeAccents(b).c_str());
        std::printf("      Instrument: program %d, channel %d\n", b.program, b.channel + 1);
    }
}

void printTracks(const Song& song) {
    std::printf("\nTracks: %d\n", song.blockCount);
    for (std::int32_t i = 0; i < song.blockCount; ++i) {
        const Macrosequence& m = song.macrosequences[static_cast<std::size_t>(i)];
        std::printf("  %2d: %s, %s\n", i,
                    quoted(song.blocks[static_cast<std::size_t>(i)].description).c_str(),
                    m.muted != 0 ? "muted" : "playing");
        std::printf("      Seed %d, volume %s, probability %s, panning %s\n", m.seed,
                    percent(m.volume).c_str(), percent(m.probability).c_str(),
                    percent(m.panning).c_str());
        std::printf("      Grid %s, displacement %s\n",
                    plural(alignMeasures(m.alignment), "measure").c_str(),
                    plural(displacementMeasures(m.alignment), "measure").c_str());
        std::printf(
            "      Stretch: 1x %s, 2x %s, 4x %s, 8x %s\n",
            percent(m.stretchProbabilities[0]).c_str(), percent(m.stretchProbabilities[1]).c_str(),
            percent(m.stretchProbabilities[2]).c_str(), percent(m.stretchProbabilities[3]).c_str());
    }
}

CommandResult runInfo(const Arguments& arguments) {
    const auto read = loadDocument(arguments.document());
    if (!read) return unexpected(read.error());
    const Document& document = *read;
    printTexts(document);
    printSettings(document);
    printMicrosequences(document.song);
    printBlocks(document.song);
    printTracks(document.song);
    if (std::fflush(stdout) != 0)
        return unexpected(fileError("Unable to write the description.", "standard output",
                                    systemErrorText(errno)));
    return {};
}

}  // namespace

Command infoCommand() {
    return {"info",
            "SONG.hvn",
            "Prints what the document holds: its texts and global settings, then every "
            "microsequence, block and track, numbered from 0, with their settings (channels "
            "from 1 to 16; tracks marked \"muted\" or \"playing\").",
            {},
            runInfo};
}

}  // namespace halvorn::cli

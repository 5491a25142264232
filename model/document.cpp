#include "model/document.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>

#include "model/byte_cursor.h"
#include "model/byte_order.h"
#include "model/error.h"
#include "model/file_io.h"
#include "model/output_file.h"

namespace halvorn {
namespace {

constexpr std::array<std::uint8_t, 3> kMagic = {'H', 'V', 'N'};

constexpr char kBadFormat[] = "Bad file format.";
constexpr char kNotADocument[] = "Not a Halvorn document";
constexpr char kEndsEarly[] = "The file ends before the composition is complete";

// Thrown inside the decoder only; documentDecode turns it into its error.
struct DecodeError {
    std::string reason;
};

// " (low to high allowed)", the ranges of the refusals below.
template <typename Number>
std::string allowed(Number low, Number high) {
    return " (" + std::to_string(low) + " to " + std::to_string(high) + " allowed)";
}

// A number as a message shows it: whole numbers without decimals.
std::string shown(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// The document's fields on the shared cursors: little-endian int32 and
// double, and the two text forms.
class ByteWriter {
  public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : sink_(out) {}

    void byte(std::uint8_t value) { sink_.byte(value); }
    void int32(std::int32_t value) { sink_.le32(static_cast<std::uint32_t>(value)); }
    void float64(double value) { sink_.leDouble(value); }
    void raw(std::span<const std::uint8_t> bytes) { sink_.bytes(bytes); }
    void zeros(std::size_t count) { sink_.zeros(count); }

    // An int32 byte count, then the bytes with no terminator.
    void string(const std::string& text) {
        int32(static_cast<std::int32_t>(text.size()));
        raw(asBytes(text));
    }

    // Exactly 30 bytes: the text, cut to 30, padded with zero bytes.
    void text30(const std::string& text) {
        const std::size_t used = std::min(text.size(), kDescriptionLength);
        raw(asBytes(text).first(used));
        zeros(kDescriptionLength - used);
    }

  private:
    static std::span<const std::uint8_t> asBytes(const std::string& text) {
        return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
    }

    ByteSink sink_;
};

class ByteReader {
  public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : source_(bytes) {}

    std::span<const std::uint8_t> take(std::size_t count) { return source_.take(count); }
    std::uint8_t byte() { return source_.byte(); }
    std::int32_t int32() { return source_.leInt32(); }
    double float64() { return source_.leDouble(); }

    std::string string() {
        const std::int32_t length = int32();
        if (length < 0) throw DecodeError{"a text has a negative length"};
        const auto text = take(static_cast<std::size_t>(length));
        return std::string(text.begin(), text.end());
    }

    // 30 bytes; the description ends at the first zero byte.
    std::string text30() {
        const auto field = take(kDescriptionLength);
        const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
        return std::string(field.begin(), end);
    }

  private:
    ByteSource source_;
};

std::int32_t clampCount(std::int32_t count, std::int32_t limit) {
    return std::clamp(count, std::int32_t{0}, limit);
}

// ---- writing ----------------------------------------------------------------

void writeSettings(ByteWriter& out, const Document& document, std::int32_t microsequenceCount,
                   std::int32_t blockCount) {
    const Song& song = document.song;
    out.int32(song.tempo);
    out.int32(std::clamp(song.beatsPerMeasure, kMinBeatsPerMeasure, kMaxBeatsPerMeasure));
    out.int32(song.minNoteExponent);
    out.int32(song.maxNoteExponent);
    out.int32(document.scaleKey);
    out.int32(document.scaleType);
    out.int32(song.generatorKind);
    out.int32(song.generatorSeed);
    out.int32(microsequenceCount);
    out.int32(blockCount);
    out.int32(std::clamp(song.lengthMeasures, std::int32_t{1}, kMaxSongMeasures));
}

void writeMicrosequence(ByteWriter& out, const Microsequence& microsequence) {
    out.text30(microsequence.description);
    out.int32(microsequence.fractalType);
    // Held to what the reader accepts, so every written file reads back.
    out.int32(std::clamp(microsequence.period, std::int32_t{0}, kMaxPeriod));
    const auto size = static_cast<std::size_t>(parameterBlockSize(microsequence.fractalType));
    out.int32(static_cast<std::int32_t>(size));
    std::size_t copied = 0;
    if (microsequence.parameters) {
        copied = std::min(size, microsequence.parameters->size());
        out.raw(std::span(*microsequence.parameters).first(copied));
    }
    out.zeros(size - copied);
}

void writeBlock(ByteWriter& out, const Block& block) {
    out.text30(block.description);
    out.int32(block.scaleKey);
    out.int32(block.scaleType);
    out.int32(std::clamp(block.lengthMeasures, std::int32_t{1}, kMaxBlockMeasures));
    out.int32(block.melodySequence);
    out.int32(block.melodyRange);
    out.int32(block.melodyOffset);
    out.int32(block.velocitySequence);
    out.int32(block.velocityRange);
    out.float64(block.velocityAmp);
    out.float64(block.velocityThreshold);
    for (const double probability : block.rhythmDistribution) out.float64(probability);
    out.float64(block.dottedProbability);
    out.float64(block.tripletProbability);
    out.float64(block.legato);
    out.int32(block.seed);
    for (const std::int32_t accent : block.accents) out.int32(accent);
    out.float64(block.accentLevel);
    out.int32(block.program);
    out.int32(block.channel);
}

// The stored order of the doubles differs from the record's.
void writeMacrosequence(ByteWriter& out, const Macrosequence& macrosequence) {
    out.int32(macrosequence.seed);
    out.float64(macrosequence.volume);
    out.float64(macrosequence.panning);
    out.float64(macrosequence.probability);
    out.int32(macrosequence.alignment);
    out.int32(macrosequence.muted);
    for (const double probability : macrosequence.stretchProbabilities) out.float64(probability);
}

// ---- reading ----------------------------------------------------------------

void readSettings(ByteReader& in, Document& document) {
    Song& song = document.song;
    song.tempo = in.int32();
    song.beatsPerMeasure = in.int32();
    song.minNoteExponent = in.int32();
    song.maxNoteExponent = in.int32();
    document.scaleKey = in.int32();
    document.scaleType = in.int32();
    song.generatorKind = in.int32();
    song.generatorSeed = in.int32();
    song.microsequenceCount = in.int32();
    song.blockCount = in.int32();
    song.lengthMeasures = in.int32();
    if (song.microsequenceCount < 0 || song.microsequenceCount > kMaxMicrosequences)
        throw DecodeError{std::to_string(song.microsequenceCount) + " microsequences" +
                          allowed(0, kMaxMicrosequences)};
    if (song.blockCount < 0 || song.blockCount > kMaxBlocks)
        throw DecodeError{std::to_string(song.blockCount) + " blocks" + allowed(0, kMaxBlocks)};
    // These size every rendering and its playback: beyond the pages' ranges
    // a file could make the renderers loop or allocate for hours, or an
    // audio export run for days.
    if (song.beatsPerMeasure < kMinBeatsPerMeasure || song.beatsPerMeasure > kMaxBeatsPerMeasure)
        throw DecodeError{std::to_string(song.beatsPerMeasure) + " beats per measure" +
                          allowed(kMinBeatsPerMeasure, kMaxBeatsPerMeasure)};
    if (song.lengthMeasures < 1 || song.lengthMeasures > kMaxSongMeasures)
        throw DecodeError{"a piece of " + std::to_string(song.lengthMeasures) + " measures" +
                          allowed(1, kMaxSongMeasures)};
    if (song.tempo < kMinTempo || song.tempo > kMaxTempo)
        throw DecodeError{"a tempo of " + std::to_string(song.tempo) + " quarter notes per minute" +
                          allowed(kMinTempo, kMaxTempo)};
}

void readMicrosequence(ByteReader& in, Microsequence& microsequence, std::int32_t index) {
    const std::string name = "microsequence " + std::to_string(index);
    microsequence.description = in.text30();
    microsequence.fractalType = in.int32();
    microsequence.period = in.int32();
    const std::int32_t size = in.int32();
    const std::int32_t needed = parameterBlockSize(microsequence.fractalType);
    if (size != needed)
        throw DecodeError{name + " has a parameter block of " + std::to_string(size) +
                          " bytes where its type needs " + std::to_string(needed)};
    if (microsequence.period < 0 || microsequence.period > kMaxPeriod)
        throw DecodeError{name + " has period " + std::to_string(microsequence.period) +
                          allowed(0, kMaxPeriod)};
    if (size > 0) {
        const auto bytes = in.take(static_cast<std::size_t>(size));
        microsequence.parameters.emplace(bytes.begin(), bytes.end());
    }
    // The noise sums correlation + 1 generators for every value.
    if (microsequence.fractalType == kFractalNoise) {
        const std::int32_t correlation =
            getLeInt32(microsequence.parameters->data() + kNoiseCorrelationOffset);
        if (correlation < 0 || correlation > kMaxNoiseCorrelation)
            throw DecodeError{name + " has noise correlation " + std::to_string(correlation) +
                              allowed(0, kMaxNoiseCorrelation)};
    }
    microsequence.values.reset();
}

// Offsets 0..157 are shared by both block layouts.
void readBlockHead(ByteReader& in, Block& block) {
    block.description = in.text30();
    block.scaleKey = in.int32();
    block.scaleType = in.int32();
    block.lengthMeasures = in.int32();
    block.melodySequence = in.int32();
    block.melodyRange = in.int32();
    block.melodyOffset = in.int32();
    block.velocitySequence = in.int32();
    block.velocityRange = in.int32();
    block.velocityAmp = in.float64();
    block.velocityThreshold = in.float64();
    for (double& probability : block.rhythmDistribution) probability = in.float64();
}

void readBlockTail(ByteReader& in, Block& block) {
    block.legato = in.float64();
    block.seed = in.int32();
    for (std::int32_t& accent : block.accents) accent = in.int32();
    block.accentLevel = in.float64();
    block.program = in.int32();
    block.channel = in.int32();
}

void readBlock(ByteReader& in, Block& block) {
    readBlockHead(in, block);
    block.dottedProbability = in.float64();
    block.tripletProbability = in.float64();
    readBlockTail(in, block);
}

void checkBlock(const Block& block, std::int32_t index) {
    const std::string name = "block " + std::to_string(index);
    if (block.lengthMeasures < 1 || block.lengthMeasures > kMaxBlockMeasures)
        throw DecodeError{name + " is " + std::to_string(block.lengthMeasures) + " measures long" +
                          allowed(1, kMaxBlockMeasures)};
    // Legato stretches every note: far beyond 1 the last one ends ages
    // after the piece, and playing or exporting it never finishes.
    if (!(block.legato >= 0.0 && block.legato <= 1.0))
        throw DecodeError{name + " has legato " + shown(block.legato) + allowed(0, 1)};
}

// The older layout stores three flags where the two probabilities now are;
// they apply in this order, so all-triplets overrides the other two.
void readOldBlock(ByteReader& in, Block& block) {
    readBlockHead(in, block);
    const std::int32_t dotted = in.int32();
    const std::int32_t triplets = in.int32();
    const std::int32_t allTriplets = in.int32();
    block.dottedProbability = 0.0;
    block.tripletProbability = 0.0;
    if (dotted != 0) block.dottedProbability = 0.25;
    if (triplets != 0) block.tripletProbability = 0.5;
    if (allTriplets != 0) {
        block.tripletProbability = 1.0;
        block.dottedProbability = 0.0;
    }
    readBlockTail(in, block);
}

void readMacrosequence(ByteReader& in, Macrosequence& macrosequence) {
    macrosequence.seed = in.int32();
    macrosequence.volume = in.float64();
    macrosequence.panning = in.float64();
    macrosequence.probability = in.float64();
    macrosequence.alignment = in.int32();
    macrosequence.muted = in.int32();
    for (double& probability : macrosequence.stretchProbabilities) probability = in.float64();
}

bool usesOldBlockLayout(std::uint8_t version) {
    return version == kDocumentOldVersion || version == kDocumentOldVersionChar;
}

void decodeInto(ByteReader& in, Document& document) {
    const std::uint8_t version = in.byte();
    document.title = in.string();
    document.author = in.string();
    document.comments = in.string();
    readSettings(in, document);
    Song& song = document.song;
    for (std::int32_t i = 0; i < song.microsequenceCount; ++i)
        readMicrosequence(in, song.microsequences[i], i);
    for (std::int32_t i = 0; i < song.blockCount; ++i) {
        if (usesOldBlockLayout(version))
            readOldBlock(in, song.blocks[i]);
        else
            readBlock(in, song.blocks[i]);
        checkBlock(song.blocks[i], i);
    }
    for (std::int32_t i = 0; i < song.blockCount; ++i)
        readMacrosequence(in, song.macrosequences[i]);
    // As the Global page does when the user picks them: intervals, then key.
    scaleSetIntervals(song.scale, scaleTypeIntervals(document.scaleType));
    scaleSetKey(song.scale, document.scaleKey);
}

}  // namespace

std::vector<std::uint8_t> documentEncode(const Document& document) {
    const Song& song = document.song;
    const std::int32_t microsequenceCount = clampCount(song.microsequenceCount, kMaxMicrosequences);
    const std::int32_t blockCount = clampCount(song.blockCount, kMaxBlocks);
    std::vector<std::uint8_t> bytes(kMagic.begin(), kMagic.end());
    ByteWriter out(bytes);
    out.byte(kDocumentVersion);
    out.string(document.title);
    out.string(document.author);
    out.string(document.comments);
    writeSettings(out, document, microsequenceCount, blockCount);
    for (std::int32_t i = 0; i < microsequenceCount; ++i)
        writeMicrosequence(out, song.microsequences[i]);
    for (std::int32_t i = 0; i < blockCount; ++i) writeBlock(out, song.blocks[i]);
    for (std::int32_t i = 0; i < blockCount; ++i) writeMacrosequence(out, song.macrosequences[i]);
    return bytes;
}

Expected<Document, Error> documentDecode(std::span<const std::uint8_t> bytes) {
    const auto refused = [](std::string reason) {
        return unexpected(fileError(kBadFormat, {}, std::move(reason), ErrorCode::kBadFormat));
    };
    if (bytes.size() < kMagic.size() || !std::equal(kMagic.begin(), kMagic.end(), bytes.begin()))
        return refused(kNotADocument);
    ByteReader in(bytes.subspan(kMagic.size()));
    Document decoded;
    try {
        decodeInto(in, decoded);
    } catch (const DecodeError& failure) {
        return refused(failure.reason);
    } catch (const TruncatedInput&) {
        return refused(kEndsEarly);
    }
    return decoded;
}

Expected<void, Error> documentWrite(const std::string& path, const Document& document) {
    const std::vector<std::uint8_t> bytes = documentEncode(document);
    if (const auto written = writeFileSafely(path, bytes); !written)
        return unexpected(
            fileError("Unable to write the file.", path, systemErrorText(written.error())));
    return {};
}

Expected<Document, Error> documentRead(const std::string& path) {
    const auto bytes = readWholeFile(path);
    if (!bytes) {
        // readWholeFile refuses devices and pipes with EINVAL.
        const std::string reason =
            bytes.error() == EINVAL ? "Not a regular file" : systemErrorText(bytes.error());
        return unexpected(fileError("Unable to open or read the file.", path, reason));
    }
    auto decoded = documentDecode(*bytes);
    if (!decoded) {
        Error error = decoded.error();
        error.path = path;
        return unexpected(std::move(error));
    }
    return decoded;
}

}  // namespace halvorn

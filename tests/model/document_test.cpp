#include "model/document.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <type_traits>

#include <unistd.h>

#include "fractal/parameters.h"
#include "model/byte_order.h"
#include "model/file_io.h"
#include "model/output_file.h"
#include "tests/support/test_support.h"

namespace halvorn {
namespace {

using test::decodeDocument;
using test::readDocument;
using test::writeDocument;

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kHeaderEnd = 4;  // magic and version

void appendInt32(Bytes& bytes, std::int32_t value) {
    std::uint8_t buffer[4];
    putLeInt32(buffer, value);
    bytes.insert(bytes.end(), buffer, buffer + 4);
}

void appendDouble(Bytes& bytes, double value) {
    std::uint8_t buffer[8];
    putLeDouble(buffer, value);
    bytes.insert(bytes.end(), buffer, buffer + 8);
}

void appendString(Bytes& bytes, const std::string& text) {
    appendInt32(bytes, static_cast<std::int32_t>(text.size()));
    bytes.insert(bytes.end(), text.begin(), text.end());
}

// Offset of the settings section in a file whose texts are known.
std::size_t settingsOffset(const Document& document) {
    return kHeaderEnd + 12 + document.title.size() + document.author.size() +
           document.comments.size();
}

Microsequence makeMicrosequence(const std::string& name, std::int32_t type, std::int32_t period,
                                std::optional<ParameterBytes> parameters) {
    Microsequence microsequence;
    microsequence.description = name;
    microsequence.fractalType = type;
    microsequence.period = period;
    microsequence.parameters = std::move(parameters);
    return microsequence;
}

Block makeBlock(std::int32_t index) {
    Block block;
    blockMakeNew(block, index);
    block.description = "Block " + std::to_string(index);
    block.scaleKey = 3 + index;
    block.scaleType = 2;
    block.lengthMeasures = 2 + index;
    block.melodySequence = 1;
    block.melodyRange = 14;
    block.melodyOffset = -7;
    block.velocitySequence = 2;
    block.velocityRange = 60;
    block.velocityAmp = 1.25;
    block.velocityThreshold = 0.1;
    for (std::size_t k = 0; k < block.rhythmDistribution.size(); ++k)
        block.rhythmDistribution[k] = 0.01 * static_cast<double>(k + index);
    block.dottedProbability = 0.37;
    block.tripletProbability = 0.2;
    block.legato = 0.8;
    block.seed = 123456789 + index;
    block.accents = {1, 0, 0, 1, 0, 1, 0, 0, 1};
    block.accentLevel = 0.3;
    block.program = 40 + index;
    return block;
}

Macrosequence makeMacrosequence(std::int32_t index) {
    Macrosequence macrosequence;
    macrosequence.muted = index % 2;
    macrosequence.seed = 987 + index;
    macrosequence.volume = 0.66;
    macrosequence.probability = 0.75;
    macrosequence.panning = 0.25;
    macrosequence.alignment = makeAlignment(2, 3);
    macrosequence.stretchProbabilities = {0.5, 0.25, 0.15, 0.1};
    return macrosequence;
}

// A composition with every kind of record and every field off its default.
Document makeComposition() {
    Document document;
    document.title = "Fractal \xE9tude";  // Windows-1252 bytes travel unchanged
    document.author = "A. Composer";
    document.comments = "Line one\r\nLine two";
    document.scaleKey = 2;
    document.scaleType = kScalePentatonic;
    Song& song = document.song;
    song.tempo = 132;
    song.beatsPerMeasure = 7;
    song.minNoteExponent = -6;
    song.maxNoteExponent = 3;
    song.generatorSeed = 424242;
    song.lengthMeasures = 999;
    MandelbrotParameters mandelbrot{-2.0, -1.5, 1.0, 1.5, -0.75, 0.1, 0.3, -0.2, 1};
    song.microsequences[0] =
        makeMicrosequence("Mandelbrot line", kFractalMandelbrot, 256, mandelbrot.toBytes());
    song.microsequences[1] = makeMicrosequence("Morse-Thue", kFractalMorseThue, 17,
                                               MorseThueParameters{3, 95, 7}.toBytes());
    song.microsequences[2] =
        makeMicrosequence("Noise", kFractalNoise, 1, NoiseParameters{-5, 4, 255}.toBytes());
    song.microsequences[3] = makeMicrosequence("Placeholder", kFractalPlaceholder, 0, {});
    song.microsequenceCount = 4;
    for (std::int32_t i = 0; i < 3; ++i) {
        song.blocks[i] = makeBlock(i);
        song.macrosequences[i] = makeMacrosequence(i);
    }
    song.blockCount = 3;
    return document;
}

void expectSameMacrosequence(const Macrosequence& a, const Macrosequence& b) {
    EXPECT_EQ(a.muted, b.muted);
    EXPECT_EQ(a.seed, b.seed);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(a.volume), std::bit_cast<std::uint64_t>(b.volume));
    EXPECT_EQ(a.probability, b.probability);
    EXPECT_EQ(a.panning, b.panning);
    EXPECT_EQ(a.alignment, b.alignment);
    EXPECT_EQ(a.stretchProbabilities, b.stretchProbabilities);
}

void expectSameDocument(const Document& a, const Document& b) {
    EXPECT_EQ(a.title, b.title);
    EXPECT_EQ(a.author, b.author);
    EXPECT_EQ(a.comments, b.comments);
    EXPECT_EQ(a.scaleKey, b.scaleKey);
    EXPECT_EQ(a.scaleType, b.scaleType);
    const Song& x = a.song;
    const Song& y = b.song;
    EXPECT_EQ(x.tempo, y.tempo);
    EXPECT_EQ(x.beatsPerMeasure, y.beatsPerMeasure);
    EXPECT_EQ(x.minNoteExponent, y.minNoteExponent);
    EXPECT_EQ(x.maxNoteExponent, y.maxNoteExponent);
    EXPECT_EQ(x.generatorKind, y.generatorKind);
    EXPECT_EQ(x.generatorSeed, y.generatorSeed);
    EXPECT_EQ(x.lengthMeasures, y.lengthMeasures);
    ASSERT_EQ(x.microsequenceCount, y.microsequenceCount);
    ASSERT_EQ(x.blockCount, y.blockCount);
    for (std::int32_t i = 0; i < x.microsequenceCount; ++i) {
        SCOPED_TRACE("microsequence " + std::to_string(i));
        EXPECT_EQ(x.microsequences[i].description, y.microsequences[i].description);
        EXPECT_EQ(x.microsequences[i].fractalType, y.microsequences[i].fractalType);
        EXPECT_EQ(x.microsequences[i].period, y.microsequences[i].period);
        EXPECT_EQ(x.microsequences[i].parameters, y.microsequences[i].parameters);
    }
    for (std::int32_t i = 0; i < x.blockCount; ++i) {
        SCOPED_TRACE("block " + std::to_string(i));
        EXPECT_EQ(x.blocks[i], y.blocks[i]);
        expectSameMacrosequence(x.macrosequences[i], y.macrosequences[i]);
    }
}

Bytes encodedComposition() {
    return documentEncode(makeComposition());
}

// A target whose every change would show in its encoding.
Document markedTarget() {
    Document target = makeComposition();
    target.title = "must stay";
    return target;
}

void expectRefused(const Bytes& bytes, const std::string& expectedStart) {
    Document target = markedTarget();
    const Bytes before = documentEncode(target);
    std::string error;
    EXPECT_FALSE(decodeDocument(bytes, target, error));
    EXPECT_EQ(error.substr(0, expectedStart.size()), expectedStart) << error;
    EXPECT_EQ(documentEncode(target), before);
}

TEST(DocumentFile, EmptyDocumentHasItsExactBytes) {
    Bytes expected = {'H', 'V', 'N', 0x11};
    appendString(expected, "Untitled");
    appendString(expected, "");
    appendString(expected, "Generated by the Halvorn");
    for (const std::int32_t value : {100, 4, -4, 1, 0, 1, 0, 1, 0, 0, 4})
        appendInt32(expected, value);
    EXPECT_EQ(documentEncode(Document{}), expected);
}

TEST(DocumentFile, EmptyDocumentReadsBackAsTheDefaultsInCMajor) {
    Document read = makeComposition();
    std::string error;
    ASSERT_TRUE(decodeDocument(documentEncode(Document{}), read, error)) << error;
    expectSameDocument(read, Document{});
    EXPECT_EQ(read.song.scale.intervals, (std::vector<std::int32_t>{0, 2, 4, 5, 7, 9, 11}));
    EXPECT_EQ(read.song.scale.key, 0);
    EXPECT_EQ(read.song.microsequences[0].description, "");
}

TEST(DocumentFile, CompositionWithEveryKindOfRecordRoundTrips) {
    const Document original = makeComposition();
    const Bytes bytes = documentEncode(original);
    Document read;
    std::string error;
    ASSERT_TRUE(decodeDocument(bytes, read, error)) << error;
    expectSameDocument(read, original);
    EXPECT_FALSE(read.song.microsequences[3].parameters);
    for (const auto& microsequence : read.song.microsequences) EXPECT_FALSE(microsequence.values);
    EXPECT_EQ(documentEncode(read), bytes);
}

TEST(DocumentFile, ScaleIsRebuiltFromTheStoredKeyAndType) {
    Document read;
    std::string error;
    ASSERT_TRUE(decodeDocument(encodedComposition(), read, error)) << error;
    EXPECT_EQ(read.song.scale.intervals, (std::vector<std::int32_t>{0, 2, 5, 7, 9}));
    EXPECT_EQ(read.song.scale.intervalCount, 5);
    EXPECT_EQ(read.song.scale.key, 2);

    // An unknown scale type leaves the Scale without a table but keeps the key.
    Document odd = makeComposition();
    odd.scaleType = 9;
    ASSERT_TRUE(decodeDocument(documentEncode(odd), read, error)) << error;
    EXPECT_EQ(read.scaleType, 9);
    EXPECT_EQ(read.song.scale.intervalCount, 0);
    EXPECT_EQ(read.song.scale.key, 2);
}

TEST(DocumentFile, EntrySizesFollowTheParameterBlockOfEachType) {
    const auto sizeWith = [](std::int32_t type) {
        Document document;
        document.song.microsequences[0] = makeMicrosequence("x", type, 8, std::nullopt);
        document.song.microsequenceCount = 1;
        return documentEncode(document).size() - documentEncode(Document{}).size();
    };
    EXPECT_EQ(sizeWith(kFractalMandelbrot), 114u);
    EXPECT_EQ(sizeWith(kFractalMorseThue), 54u);
    EXPECT_EQ(sizeWith(kFractalNoise), 54u);
    EXPECT_EQ(sizeWith(kFractalPlaceholder), 42u);
    EXPECT_EQ(sizeWith(77), 42u);
}

TEST(DocumentFile, MissingOrMissizedParameterBlocksAreWrittenAtTheTypesSize) {
    Document document;
    Song& song = document.song;
    song.microsequences[0] = makeMicrosequence("never saved", kFractalMorseThue, 256, std::nullopt);
    song.microsequences[1] =
        makeMicrosequence("short", kFractalMandelbrot, 256, ParameterBytes{1, 2, 3});
    song.microsequences[2] =
        makeMicrosequence("placeholder", kFractalPlaceholder, 5, ParameterBytes(12, 9));
    song.microsequenceCount = 3;
    Document read;
    std::string error;
    ASSERT_TRUE(decodeDocument(documentEncode(document), read, error)) << error;
    EXPECT_EQ(read.song.microsequences[0].parameters, ParameterBytes(12, 0));
    ParameterBytes padded(72, 0);
    padded[0] = 1, padded[1] = 2, padded[2] = 3;
    EXPECT_EQ(read.song.microsequences[1].parameters, padded);
    EXPECT_FALSE(read.song.microsequences[2].parameters);
}

TEST(DocumentFile, DoublesAreStoredBitForBit) {
    Document document = makeComposition();
    document.song.blocks[0].dottedProbability = 0.37;
    document.song.blocks[1].velocityAmp = 0.1 + 0.2;
    Document read;
    std::string error;
    ASSERT_TRUE(decodeDocument(documentEncode(document), read, error)) << error;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(read.song.blocks[0].dottedProbability),
              std::bit_cast<std::uint64_t>(0.37));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(read.song.blocks[1].velocityAmp),
              std::bit_cast<std::uint64_t>(0.1 + 0.2));
}

TEST(DocumentFile, MacrosequenceFieldsSitAtTheirFileOffsets) {
    Document document;
    document.song.blocks[0] = makeBlock(0);
    document.song.macrosequences[0] = makeMacrosequence(1);
    document.song.blockCount = 1;
    const Bytes bytes = documentEncode(document);
    ASSERT_EQ(bytes.size(), settingsOffset(document) + 44 + 238 + 68);
    const std::uint8_t* entry = bytes.data() + bytes.size() - 68;
    EXPECT_EQ(getLeInt32(entry + 0), 988);
    EXPECT_EQ(getLeDouble(entry + 4), 0.66);   // volume
    EXPECT_EQ(getLeDouble(entry + 12), 0.25);  // panning
    EXPECT_EQ(getLeDouble(entry + 20), 0.75);  // probability
    EXPECT_EQ(getLeInt32(entry + 28), 196610);
    EXPECT_EQ(getLeInt32(entry + 32), 1);
    EXPECT_EQ(getLeDouble(entry + 36), 0.5);
    EXPECT_EQ(getLeDouble(entry + 60), 0.1);
    const std::uint8_t* block = entry - 238;
    EXPECT_EQ(getLeDouble(block + 158), 0.37);
    EXPECT_EQ(getLeInt32(block + 182), 123456789);
    EXPECT_EQ(getLeInt32(block + 186), 1);
    EXPECT_EQ(getLeInt32(block + 234), 0);
}

TEST(DocumentFile, DescriptionsAreThirtyBytesCutAtTheFirstZero) {
    Document document;
    Song& song = document.song;
    song.microsequences[0] =
        makeMicrosequence(std::string(30, 'x'), kFractalPlaceholder, 1, std::nullopt);
    song.microsequences[1] =
        makeMicrosequence(std::string(40, 'y'), kFractalPlaceholder, 1, std::nullopt);
    song.microsequences[2] =
        makeMicrosequence(std::string("ab\0cd", 5), kFractalPlaceholder, 1, std::nullopt);
    song.microsequenceCount = 3;
    const Bytes bytes = documentEncode(document);
    const std::size_t first = settingsOffset(document) + 44;
    EXPECT_EQ(bytes[first + 29], 'x');
    EXPECT_EQ(bytes[first + 30], kFractalPlaceholder);  // no terminator after 30 bytes
    Document read;
    std::string error;
    ASSERT_TRUE(decodeDocument(bytes, read, error)) << error;
    EXPECT_EQ(read.song.microsequences[0].description, std::string(30, 'x'));
    EXPECT_EQ(read.song.microsequences[1].description, std::string(30, 'y'));
    EXPECT_EQ(read.song.microsequences[2].description, "ab");
}

// A one-block file in the older layout with the three given flags.
Bytes oldLayoutFile(std::uint8_t version, std::int32_t dotted, std::int32_t triplets,
                    std::int32_t allTriplets) {
    Document document;
    document.song.blocks[0] = makeBlock(0);
    document.song.macrosequences[0] = makeMacrosequence(0);
    document.song.blockCount = 1;
    const Bytes current = documentEncode(document);
    const std::size_t blockStart = settingsOffset(document) + 44;
    Bytes bytes(current.begin(), current.begin() + static_cast<std::ptrdiff_t>(blockStart + 158));
    bytes[3] = version;
    appendInt32(bytes, dotted);
    appendInt32(bytes, triplets);
    appendInt32(bytes, allTriplets);
    const Block& block = document.song.blocks[0];
    appendDouble(bytes, block.legato);
    appendInt32(bytes, block.seed);
    for (const std::int32_t accent : block.accents) appendInt32(bytes, accent);
    appendDouble(bytes, block.accentLevel);
    appendInt32(bytes, block.program);
    appendInt32(bytes, block.channel);
    EXPECT_EQ(bytes.size(), blockStart + 234);
    bytes.insert(bytes.end(), current.end() - 68, current.end());
    return bytes;
}

TEST(DocumentFile, OldBlockLayoutAppliesItsFlagsInOrder) {
    struct Case {
        std::uint8_t version;
        std::int32_t dotted, triplets, allTriplets;
        double expectedDotted, expectedTriplets;
    };
    const Case cases[] = {
        {0x10, 0, 0, 0, 0.0, 0.0},  {0x10, 1, 0, 0, 0.25, 0.0}, {0x31, 0, 7, 0, 0.0, 0.5},
        {0x31, 1, 1, 0, 0.25, 0.5}, {0x10, 0, 0, -1, 0.0, 1.0}, {0x10, 1, 1, 1, 0.0, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << c.dotted << c.triplets << c.allTriplets);
        Document read;
        std::string error;
        ASSERT_TRUE(decodeDocument(oldLayoutFile(c.version, c.dotted, c.triplets, c.allTriplets),
                                   read, error))
            << error;
        const Block& block = read.song.blocks[0];
        EXPECT_EQ(block.dottedProbability, c.expectedDotted);
        EXPECT_EQ(block.tripletProbability, c.expectedTriplets);
        Block expected = makeBlock(0);
        expected.dottedProbability = c.expectedDotted;
        expected.tripletProbability = c.expectedTriplets;
        EXPECT_EQ(block, expected);
        expectSameMacrosequence(read.song.macrosequences[0], makeMacrosequence(0));
    }
}

TEST(DocumentFile, UnknownVersionBytesAndBytesAfterTheLastEntryReadAsTheCurrentLayout) {
    Bytes unknownVersion = encodedComposition();
    unknownVersion[3] = 0x12;
    Bytes trailing = encodedComposition();
    trailing.push_back(0xAB);
    for (const Bytes& bytes : {unknownVersion, trailing}) {
        Document read;
        std::string error;
        ASSERT_TRUE(decodeDocument(bytes, read, error)) << error;
        expectSameDocument(read, makeComposition());
    }
}

TEST(DocumentFileRefusal, WrongMagicOrTooShortForIt) {
    Bytes bytes = encodedComposition();
    bytes[0] = 'h';
    expectRefused(bytes, "Bad file format. Not a Halvorn document.");
    expectRefused({}, "Bad file format. Not a Halvorn document.");
    expectRefused({'H', 'V'}, "Bad file format. Not a Halvorn document.");
}

TEST(DocumentFileRefusal, EveryTruncationIsRefusedAndLeavesTheTargetAlone) {
    const Bytes bytes = encodedComposition();
    for (std::size_t length = 3; length < bytes.size(); ++length) {
        SCOPED_TRACE("length " + std::to_string(length));
        expectRefused(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)),
                      "Bad file format. The file ends before the composition is complete.");
    }
}

TEST(DocumentFileRefusal, CountsOutsideTheFixedArrays) {
    const Document document = makeComposition();
    const std::size_t settings = settingsOffset(document);
    for (const auto& [offset, value] : std::vector<std::pair<std::size_t, std::int32_t>>{
             {32, 33}, {32, -1}, {36, 17}, {36, -1}, {36, INT32_MIN}}) {
        Bytes bytes = documentEncode(document);
        putLeInt32(&bytes[settings + offset], value);
        expectRefused(bytes, "Bad file format");
    }
}

TEST(DocumentFileRefusal, ParameterBlockSizeOtherThanTheTypes) {
    const Document document = makeComposition();
    const std::size_t mandelbrotSizeField = settingsOffset(document) + 44 + 38;
    const std::size_t morseThueEntry = settingsOffset(document) + 44 + 114;
    const std::size_t placeholderSizeField = morseThueEntry + 54 + 54 + 38;
    for (const std::int32_t size : {0, 12, 68, 80, -72, INT32_MAX}) {
        Bytes bytes = documentEncode(document);
        putLeInt32(&bytes[mandelbrotSizeField], size);
        expectRefused(bytes, "Bad file format");
    }
    for (const std::int32_t size : {12, -1}) {
        Bytes bytes = documentEncode(document);
        putLeInt32(&bytes[placeholderSizeField], size);
        expectRefused(bytes, "Bad file format");
    }
    // A Mandelbrot entry retyped as Morse-Thue keeps its 72-byte block.
    Bytes bytes = documentEncode(document);
    putLeInt32(&bytes[mandelbrotSizeField - 8], kFractalMorseThue);
    expectRefused(bytes, "Bad file format");
}

TEST(DocumentFileRefusal, PeriodOutsideZeroTo256MentionsThePeriod) {
    const Document document = makeComposition();
    const std::size_t periodField = settingsOffset(document) + 44 + 34;
    for (const std::int32_t period : {257, -1, 1 << 30}) {
        Bytes bytes = documentEncode(document);
        putLeInt32(&bytes[periodField], period);
        Document target = markedTarget();
        std::string error;
        EXPECT_FALSE(decodeDocument(bytes, target, error));
        EXPECT_NE(error.find("period"), std::string::npos) << error;
        EXPECT_EQ(target.title, "must stay");
    }
    Bytes zero = documentEncode(document);
    putLeInt32(&zero[periodField], 0);
    Document read;
    std::string error;
    EXPECT_TRUE(decodeDocument(zero, read, error)) << error;
}

TEST(DocumentFileRefusal, LengthsAndMetreOutsideThePagesRanges) {
    const Document document = makeComposition();
    const std::size_t settings = settingsOffset(document);
    const std::size_t firstBlockLength = settings + 44 + 114 + 54 + 54 + 42 + 38;
    const std::vector<std::pair<std::size_t, std::int32_t>> cases = {
        {settings + 4, 1},
        {settings + 4, 10},
        {settings + 4, -3},
        {settings + 40, 0},
        {settings + 40, 1000},
        {settings + 40, INT32_MAX},
        {firstBlockLength, 0},
        {firstBlockLength, 9},
        {firstBlockLength + 238, -1},
        {firstBlockLength + 476, 1 << 30}};
    for (const auto& [offset, value] : cases) {
        SCOPED_TRACE(testing::Message() << "offset " << offset << " value " << value);
        Bytes bytes = documentEncode(document);
        putLeInt32(&bytes[offset], value);
        expectRefused(bytes, "Bad file format");
    }
}

// Fields that size the work of rendering or playing: a hostile file could
// make `render` sum 2^31 generators per value, or `play` and `export-audio`
// run for days. Each refusal names the record; the pages' limits still read.
TEST(DocumentFileRefusal, ValuesThatWouldStallRenderingOrPlaybackNameTheirRecord) {
    const Document document = makeComposition();
    const std::size_t settings = settingsOffset(document);
    const std::size_t noiseCorrelation = settings + 44 + 114 + 54 + 42 + 4;
    const std::size_t firstLegato = settings + 44 + 114 + 54 + 54 + 42 + 174;
    const auto decodeWith = [&](std::size_t offset, auto value, std::string& error) {
        Bytes bytes = documentEncode(document);
        if constexpr (std::is_same_v<decltype(value), double>)
            putLeDouble(&bytes[offset], value);
        else
            putLeInt32(&bytes[offset], value);
        Document target = markedTarget();
        const bool read = decodeDocument(bytes, target, error);
        if (!read) {
            EXPECT_EQ(target.title, "must stay");
        }
        return read;
    };
    std::string error;
    for (const std::int32_t correlation : {5, -1, INT32_MAX}) {
        EXPECT_FALSE(decodeWith(noiseCorrelation, correlation, error));
        EXPECT_EQ(error, "Bad file format. Microsequence 2 has noise correlation " +
                             std::to_string(correlation) + " (0 to 4 allowed).");
    }
    for (const std::int32_t tempo : {39, 301, 0, INT32_MIN}) {
        EXPECT_FALSE(decodeWith(settings, tempo, error));
        EXPECT_EQ(error, "Bad file format. A tempo of " + std::to_string(tempo) +
                             " quarter notes per minute (40 to 300 allowed).");
    }
    for (const double legato : {1.0000001, -0.5, 1e300, std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_FALSE(decodeWith(firstLegato, legato, error));
        EXPECT_EQ(error.find("Bad file format. Block 0 has legato "), 0u) << error;
    }
    for (const std::int32_t tempo : {40, 300})
        EXPECT_TRUE(decodeWith(settings, tempo, error)) << error;
    EXPECT_TRUE(decodeWith(noiseCorrelation, 0, error)) << error;
    for (const double legato : {0.0, 1.0}) EXPECT_TRUE(decodeWith(firstLegato, legato, error));
}

TEST(DocumentFile, WriterHoldsValuesToWhatTheReaderAccepts) {
    Document document = makeComposition();
    Song& song = document.song;
    song.beatsPerMeasure = 12;
    song.lengthMeasures = 0;
    song.blocks[1].lengthMeasures = 20;
    song.microsequences[1].period = 1000;
    song.microsequenceCount = 40;
    song.blockCount = -2;
    Document read;
    std::string error;
    ASSERT_TRUE(decodeDocument(documentEncode(document), read, error)) << error;
    EXPECT_EQ(read.song.beatsPerMeasure, 9);
    EXPECT_EQ(read.song.lengthMeasures, 1);
    EXPECT_EQ(read.song.microsequenceCount, 32);
    EXPECT_EQ(read.song.microsequences[1].period, 256);
    EXPECT_EQ(read.song.blockCount, 0);

    song.blockCount = 3;
    ASSERT_TRUE(decodeDocument(documentEncode(document), read, error)) << error;
    EXPECT_EQ(read.song.blocks[1].lengthMeasures, 8);
}

TEST(DocumentFileRefusal, NegativeOrOverlongTextLength) {
    Bytes bytes = encodedComposition();
    putLeInt32(&bytes[kHeaderEnd], -1);
    expectRefused(bytes, "Bad file format");
    putLeInt32(&bytes[kHeaderEnd], INT32_MAX);
    expectRefused(bytes, "Bad file format. The file ends before the composition is complete.");
}

class DocumentFileOnDisk : public testing::Test {
  protected:
    void SetUp() override {
        directory_ = std::filesystem::temp_directory_path() /
                     ("halvorn_document_test_" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory_);
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }
    std::string path(const std::string& name) const { return (directory_ / name).string(); }

    std::filesystem::path directory_;
};

TEST_F(DocumentFileOnDisk, WriteThenReadGivesTheSameDocument) {
    std::string error;
    ASSERT_TRUE(writeDocument(path("song.hvn"), makeComposition(), error)) << error;
    Document read;
    ASSERT_TRUE(readDocument(path("song.hvn"), read, error)) << error;
    expectSameDocument(read, makeComposition());
}

// Every failure names the file and says why: what the system said, or what
// is wrong inside the file.
TEST_F(DocumentFileOnDisk, FailuresNameTheFileAndTheReason) {
    const auto readFailure = [](const std::string& file) {
        const auto read = documentRead(file);
        EXPECT_FALSE(read.has_value()) << file;
        return read ? Error{} : read.error();
    };
    const Error missing = readFailure(path("absent.hvn"));
    EXPECT_EQ(missing.line(),
              path("absent.hvn") + ": Unable to open or read the file. No such file or directory.");
    EXPECT_EQ(readFailure(directory_.string()).reason, "Is a directory");
    EXPECT_EQ(readFailure("/dev/null").reason, "Not a regular file");

    ASSERT_TRUE(writeFileSafely(path("bad.hvn"), Bytes(10, 'H')));
    const Error bad = readFailure(path("bad.hvn"));
    EXPECT_EQ(bad.message, "Bad file format.");
    EXPECT_EQ(bad.path, path("bad.hvn"));
    EXPECT_EQ(bad.reason, "Not a Halvorn document");
    const Bytes whole = documentEncode(makeComposition());
    ASSERT_TRUE(writeFileSafely(path("short.hvn"), Bytes(whole.begin(), whole.begin() + 40)));
    EXPECT_EQ(readFailure(path("short.hvn")).reason,
              "The file ends before the composition is complete");

    const auto written = documentWrite(path("missing/song.hvn"), makeComposition());
    ASSERT_FALSE(written.has_value());
    EXPECT_EQ(written.error().line(),
              path("missing/song.hvn") + ": Unable to write the file. No such file or directory.");
    EXPECT_FALSE(std::filesystem::exists(path("missing")));
    EXPECT_EQ(documentWrite(directory_.string(), makeComposition()).error().reason,
              "Is a directory");
}

TEST_F(DocumentFileOnDisk, AFileThatCannotBeReadLeavesTheDocumentAlone) {
    Document target = markedTarget();
    std::string error;
    EXPECT_FALSE(readDocument(path("absent.hvn"), target, error));
    ASSERT_TRUE(writeFileSafely(path("bad.hvn"), Bytes(10, 'H')));
    EXPECT_FALSE(readDocument(path("bad.hvn"), target, error));
    EXPECT_EQ(target.title, "must stay");
}

}  // namespace
}  // namespace halvorn

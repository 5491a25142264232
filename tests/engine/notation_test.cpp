#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

#include "engine/block_render.h"
#include "engine/duration_split.h"
#include "engine/key_signature.h"
#include "engine/musicxml_writer.h"
#include "engine/pitch_spelling.h"
#include "engine/score_layout.h"
#include "model/random.h"
#include "model/scale.h"

namespace halvorn {
namespace {

constexpr std::int64_t kBeat = kUnitsPerBeat;

std::string spelled(std::int32_t note, std::int32_t fifths) {
    const SpelledPitch pitch = spellPitch(note, fifths);
    std::string name(1, pitch.step);
    name += pitch.alter > 0 ? "#" : pitch.alter < 0 ? "b" : "";
    return name + std::to_string(pitch.octave);
}

// Every key of every scale type: the scale's own notes take the names of
// the key signature keySignatureOf gives it, seven letters for a seven-note
// scale, each letter once; notes outside the key stay natural on white
// keys and follow the signature's direction on black ones.
TEST(PitchSpelling, EveryScaleIsSpelledInItsOwnSignature) {
    for (std::int32_t type = kScaleMajor; type <= kScalePentatonic; ++type) {
        for (std::int32_t key = 0; key < 12; ++key) {
            Scale scale;
            scaleSet(scale, scaleTypeIntervals(type), key);
            const std::int32_t fifths = keySignatureOf(scale).sharps;
            std::string letters;
            for (const std::int32_t interval : scale.intervals) {
                const SpelledPitch pitch = spellPitch(60 + key + interval, fifths);
                letters += pitch.step;
                // A key's notes need no accidental beyond the signature's.
                EXPECT_TRUE(pitch.alter == 0 || (pitch.alter > 0) == (fifths > 0))
                    << kKeyNames[key] << " " << kScaleTypeNames[type] << " " << interval;
            }
            std::string sorted = letters;
            std::sort(sorted.begin(), sorted.end());
            EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end())
                << kKeyNames[key] << " " << kScaleTypeNames[type] << " spells " << letters;
        }
    }
    EXPECT_EQ(spelled(70, -1), "Bb4");  // F major
    EXPECT_EQ(spelled(65, 6), "E#4");   // F sharp major's own E sharp
    EXPECT_EQ(spelled(71, -6), "Cb5");  // G flat major: C flat sounds as B4
    EXPECT_EQ(spelled(61, 0), "C#4");   // C major's black keys are sharps
    EXPECT_EQ(spelled(63, -3), "Eb4");  // E flat major
    EXPECT_EQ(spelled(68, -2), "Ab4");  // outside B flat major, a flat
    EXPECT_EQ(spelled(65, 2), "F4");    // outside D major, natural
    EXPECT_EQ(spelled(0, 0), "C-1");
    EXPECT_EQ(spelled(127, 0), "G9");
}

TEST(DurationSplit, ValuesDotsAndTripletsAddUpExactly) {
    using V = WrittenValue;
    // A dotted quarter is one value; a quarter tied to a 16th two.
    EXPECT_EQ(splitDuration(144), (std::vector{V{6, true, false, 144}}));
    EXPECT_EQ(splitDuration(120), (std::vector{V{6, false, false, 96}, V{4, false, false, 24}}));
    // An eighth-note triplet (a third of a beat); a dotted quarter's
    // triplet (half a beat) is a plain eighth.
    EXPECT_EQ(splitDuration(32), (std::vector{V{5, false, true, 32}}));
    EXPECT_EQ(splitDuration(48), (std::vector{V{5, false, false, 48}}));
    // A 1/64 triplet is a 128th played at 2/3, its dotted form a plain 128th.
    EXPECT_EQ(splitDuration(2), (std::vector{V{1, false, true, 2}}));
    EXPECT_EQ(splitDuration(3), (std::vector{V{1, false, false, 3}}));
    EXPECT_EQ(splitDuration(1), (std::vector{V{0, false, true, 1}}));
    // Every length up to a 9/4 measure: values longest first, each fitting
    // the type table, adding up to the length, triplets only off the plain grid.
    for (std::int64_t units = 1; units <= 9 * kBeat; ++units) {
        const auto values = splitDuration(units);
        std::int64_t sum = 0;
        for (std::size_t k = 0; k < values.size(); ++k) {
            ASSERT_LT(values[k].type, static_cast<std::int32_t>(kWrittenTypeNames.size()));
            EXPECT_EQ(values[k].triplet, units % 3 != 0) << units;
            if (k > 0) {
                EXPECT_LT(values[k].units, values[k - 1].units);
            }
            sum += values[k].units;
        }
        EXPECT_EQ(sum, units) << units;
    }
    EXPECT_TRUE(splitDuration(0).empty());
}

TEST(DurationSplit, SpansAreCutAtBarlines) {
    // A whole note from beat 3 of a 3/4 measure ties over the barline.
    const std::int64_t measure = 3 * kBeat;
    EXPECT_EQ(splitAtMultiples(2 * kBeat, 6 * kBeat, measure),
              (std::vector<TimeSpan>{{2 * kBeat, 3 * kBeat}, {3 * kBeat, 6 * kBeat}}));
    EXPECT_EQ(
        splitAtMultiples(0, 7 * kBeat, measure),
        (std::vector<TimeSpan>{{0, 3 * kBeat}, {3 * kBeat, 6 * kBeat}, {6 * kBeat, 7 * kBeat}}));
    EXPECT_EQ(splitAtMultiples(10, 20, measure), (std::vector<TimeSpan>{{10, 20}}));
    EXPECT_TRUE(splitAtMultiples(5, 5, measure).empty());
}

// The notes the rhythm step reports with their values: each note's length
// is its value's (times legato), except the last, which the block's end cuts.
TEST(BlockRhythm, ValuesMatchTheRenderedLengths) {
    randomSelectGenerator(kInternalGenerator);
    Song song = songInit();
    song.blockCount = 1;
    song.minNoteExponent = kMinNoteExponent;
    song.maxNoteExponent = kMaxNoteExponent;
    Block& block = song.blocks[0];
    block.lengthMeasures = 8;
    block.rhythmDistribution.fill(0.1);
    block.dottedProbability = 0.4;
    block.tripletProbability = 0.4;
    block.legato = 0.5;
    for (std::int32_t seed = 1; seed <= 20; ++seed) {
        block.seed = seed;
        const BlockRhythm rhythm = renderBlockRhythm(song, 0);
        ASSERT_EQ(rhythm.notes.size(), rhythm.values.size());
        EXPECT_EQ(rhythm.notes, renderBlockNotes(song, 0));
        for (std::size_t k = 0; k + 1 < rhythm.notes.size(); ++k) {
            const double length =
                static_cast<double>(noteValueUnits(rhythm.values[k])) / kUnitsPerBeat;
            EXPECT_NEAR(rhythm.notes[k].duration, length * block.legato, 1e-9) << seed;
        }
    }
}

ScoreNote note(std::int64_t start, std::int64_t end, std::int32_t pitch) {
    return {.start = start, .end = end, .pitch = pitch, .velocity = 100};
}

// Lays out `notes` over `measures` measures of `beats` beats.
std::vector<std::vector<ScoreLane>> layOut(const std::vector<ScoreNote>& notes, std::int32_t beats,
                                           std::int32_t measures, std::int32_t staves = 1) {
    ScoreLayout layout(beats * kBeat, staves, 60);
    std::vector<std::vector<ScoreLane>> out;
    for (const ScoreNote& n : notes) {
        while (n.start >= layout.measureEnd()) out.push_back(layout.finishMeasure());
        layout.add(n);
    }
    while (static_cast<std::int32_t>(out.size()) < measures) out.push_back(layout.finishMeasure());
    return out;
}

std::int64_t laneLength(const ScoreLane& lane) {
    return std::accumulate(
        lane.elements.begin(), lane.elements.end(), std::int64_t{0},
        [](std::int64_t sum, const ScoreElement& e) { return sum + e.value.units; });
}

// Notes that start and end together are one chord; a note that overlaps
// them gets a second voice; a note across the barline is cut and tied;
// every voice fills its measure.
TEST(ScoreLayout, ChordsVoicesTiesAndRestsFillEveryMeasure) {
    const auto measures = layOut({note(0, kBeat, 60), note(0, kBeat, 64),  // chord
                                  note(kBeat / 2, 2 * kBeat, 67),          // overlaps it
                                  note(3 * kBeat, 5 * kBeat, 72)},         // over the barline
                                 4, 2);
    ASSERT_EQ(measures.size(), 2u);
    const auto& first = measures[0];
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].voice, 1);
    EXPECT_EQ(first[1].voice, 2);
    for (const ScoreLane& lane : first) EXPECT_EQ(laneLength(lane), 4 * kBeat);
    EXPECT_EQ(first[0].chords[0].tones.size(), 2u);
    const ScoreElement& tiedOut = first[0].elements.back();
    EXPECT_TRUE(tiedOut.tieStart);
    EXPECT_FALSE(tiedOut.tieStop);
    // The second measure: the tied half of the note, then rests; voice 2
    // has nothing and is left out.
    const auto& second = measures[1];
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(laneLength(second[0]), 4 * kBeat);
    EXPECT_TRUE(second[0].elements.front().tieStop);
    EXPECT_FALSE(second[0].elements.front().attack);
    EXPECT_EQ(second[0].elements.front().value.units, kBeat);
}

TEST(ScoreLayout, TripletGroupsAreBracketedAndGrandStavesSplitAtMiddleC) {
    // Six eighth-note triplets over two beats, the second one low.
    const std::int64_t third = kBeat / 3;
    std::vector<ScoreNote> notes;
    for (std::int64_t k = 0; k < 6; ++k)
        notes.push_back(note(k * third, (k + 1) * third, k == 1 ? 48 : 72));
    const auto measures = layOut(notes, 3, 1, 2);
    const auto& lanes = measures[0];
    ASSERT_EQ(lanes.size(), 2u);
    EXPECT_EQ(lanes[0].staff, 1);
    EXPECT_EQ(lanes[1].staff, 2);
    EXPECT_EQ(lanes[1].voice, 5);
    // Upper staff: note, triplet rest, four notes, then a plain beat of
    // rest; one bracket to each beat.
    const auto& upper = lanes[0].elements;
    ASSERT_EQ(upper.size(), 7u);
    EXPECT_EQ(upper[1].chord, -1);
    EXPECT_TRUE(upper[1].value.triplet);
    std::string brackets;
    for (const ScoreElement& e : upper)
        brackets += e.tupletStart && e.tupletStop ? 'x'
                    : e.tupletStart               ? '['
                    : e.tupletStop                ? ']'
                                                  : '.';
    EXPECT_EQ(brackets, "[.][.].");
    EXPECT_FALSE(upper[6].value.triplet);
    for (const ScoreLane& lane : lanes) EXPECT_EQ(laneLength(lane), 3 * kBeat);
}

Document oneTrackDocument() {
    Document document;
    Song& song = document.song;
    song.blockCount = 1;
    song.blocks[0].rhythmDistribution[4] = 1.0;  // quarter notes
    song.blocks[0].description = "Lead";
    return document;
}

TEST(MusicXmlWriter, StreamsAWholeScoreAndReportsWhatStopsIt) {
    randomSelectGenerator(kInternalGenerator);
    std::string bytes;
    std::size_t blocks = 0;
    XmlStream out([&](std::span<const std::uint8_t> block) {
        bytes.append(block.begin(), block.end());
        ++blocks;
        return true;
    });
    Document document = oneTrackDocument();
    ASSERT_TRUE(writeMusicXml(out, document, false));
    EXPECT_NE(bytes.find("<part-name>Lead</part-name>"), std::string::npos);
    // Four measures of four quarter notes each, silent middle Cs written as
    // rests (no melody or velocity sequence: the defaults).
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n') > 0, true);
    EXPECT_NE(bytes.find("<measure number=\"4\">"), std::string::npos);
    EXPECT_EQ(bytes.find("<measure number=\"5\">"), std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.size() - 18), "</score-partwise>\n");

    // A muted track left out leaves nothing to write.
    document.song.macrosequences[0].muted = 1;
    XmlStream discard([](std::span<const std::uint8_t>) { return true; });
    EXPECT_EQ(writeMusicXml(discard, document, true).error(), MusicXmlError::kNoNotes);
    // A sink that refuses its bytes stops the writer.
    XmlStream refusing([](std::span<const std::uint8_t>) { return false; });
    EXPECT_EQ(writeMusicXml(refusing, document, false).error(), MusicXmlError::kWriteFailed);
}

}  // namespace
}  // namespace halvorn

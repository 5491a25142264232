#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "engine/arrangement.h"
#include "engine/block_render.h"
#include "engine/duration_split.h"
#include "engine/dynamics.h"
#include "engine/key_signature.h"
#include "engine/ledger_lines.h"
#include "engine/musicxml_writer.h"
#include "engine/part_names.h"
#include "engine/pitch_spelling.h"
#include "engine/score_layout.h"
#include "engine/staff_plan.h"
#include "fractal/parameters.h"
#include "midi/general_midi.h"
#include "model/random.h"
#include "model/scale.h"
#include "tests/support/test_support.h"

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

// The notes the rhythm step reports with their values: each note's length
// is its value's (times legato), except the last, which the block's end cuts.
TEST(BlockRhythm, ValuesMatchTheRenderedLengths) {
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
    ScoreLayout layout(Meter{beats}, staves, 60);
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

// A voice's measure as a musician would spell it: "r" a rest, "t" a
// triplet value, then the type (4 a quarter, 16 a sixteenth), "." a dot,
// "~" a tie to the next, "[" "]" a bracket, and the first beam level as
// "<" begin, "=" continue, ">" end.
std::string spelledOut(const ScoreLane& lane) {
    static const char* const kTypes[] = {"256", "128", "64", "32", "16", "8",
                                         "4",   "2",   "1",  "0",  "00", "000"};
    std::string out;
    for (const ScoreElement& e : lane.elements) {
        if (!out.empty()) out += ' ';
        if (e.tupletStart) out += '[';
        if (e.chord < 0) out += 'r';
        if (e.wholeMeasureRest) {
            out += "bar";
            continue;
        }
        if (e.value.triplet) out += 't';
        out += kTypes[e.value.type];
        if (e.value.dotted) out += '.';
        if (e.tieStart) out += '~';
        const Beam beam = e.beams[0];
        out += beam == Beam::kBegin      ? "<"
               : beam == Beam::kContinue ? "="
               : beam == Beam::kEnd      ? ">"
                                         : "";
        if (e.tupletStop) out += ']';
    }
    return out;
}

// Written as the meter reads (4/4 unless said): the eighth-quarter-eighth
// syncopation stays whole, a note off the beat ties at the next beat, the
// middle of the bar shows unless a note starts on the downbeat (in 3/4 a
// half note may start on beat 2), rests merge up to a pair of beats, eighths
// beam across a half bar when nothing shorter is there and by the beat
// otherwise, triplet quarters take one bracket over two beats, and a
// triplet value tied over a barline stays a triplet value in brackets that
// close inside each measure, completed by triplet rests.
TEST(ScoreLayout, MeasuresReadAsTheMeterGroupsThem) {
    const auto spell = [](const std::vector<ScoreNote>& notes, std::int32_t beats,
                          std::int32_t measures) {
        std::vector<std::string> out;
        for (const auto& measure : layOut(notes, beats, measures))
            out.push_back(spelledOut(measure.at(0)));
        return out;
    };
    using Spelled = std::vector<std::string>;
    const std::int64_t e = kBeat / 2, s = kBeat / 4;
    EXPECT_EQ(spell({note(0, e, 60), note(e, e + kBeat, 62), note(e + kBeat, 2 * kBeat, 64),
                     note(2 * kBeat, 2 * kBeat + s, 65), note(2 * kBeat + s, 3 * kBeat + s, 67)},
                    4, 1),
              (Spelled{"8 4 8 16< 8.~> 16 r16 r8"}));
    EXPECT_EQ(spell({note(kBeat, 3 * kBeat, 60)}, 4, 1), (Spelled{"r4 4~ 4 r4"}));
    EXPECT_EQ(spell({note(kBeat, 3 * kBeat, 60)}, 3, 1), (Spelled{"r4 2"}));
    EXPECT_EQ(spell({note(0, 3 * kBeat, 60)}, 4, 1), (Spelled{"2. r4"}));
    EXPECT_EQ(spell({note(3 * kBeat, 4 * kBeat, 60)}, 4, 1), (Spelled{"r2 r4 4"}));
    std::vector<ScoreNote> eighths, mixed;
    for (std::int64_t k = 0; k < 8; ++k) eighths.push_back(note(k * e, (k + 1) * e, 60));
    for (std::int64_t k = 0; k < 4; ++k) mixed.push_back(note(k * s, (k + 1) * s, 60));
    for (std::int64_t k = 2; k < 8; ++k) mixed.push_back(note(k * e, (k + 1) * e, 60));
    EXPECT_EQ(spell(eighths, 4, 1), (Spelled{"8< 8= 8= 8> 8< 8= 8= 8>"}));
    EXPECT_EQ(spell(mixed, 4, 1), (Spelled{"16< 16= 16= 16> 8< 8> 8< 8= 8= 8>"}));
    const std::int64_t third = kBeat / 3;
    std::vector<ScoreNote> triplets;
    for (std::int64_t k = 0; k < 3; ++k)
        triplets.push_back(note(2 * k * third, 2 * (k + 1) * third, 60));
    for (std::int64_t k = 6; k < 9; ++k) triplets.push_back(note(k * third, (k + 1) * third, 62));
    EXPECT_EQ(spell(triplets, 4, 1), (Spelled{"[t4 t4 t4] [t8< t8= t8>] r4"}));
    // A triplet quarter from the last third of 3/4's third beat over the barline.
    EXPECT_EQ(spell({note(8 * third, 10 * third, 60)}, 3, 2),
              (Spelled{"r2 [rt4 t8~]", "[t8 rt8 rt8] r4 r4"}));
}

TEST(ScoreLayout, TripletGroupsAreBracketedAndGrandStavesSplitAtMiddleC) {
    // Six eighth-note triplets over two beats, the second one low; middle C
    // on the third beat belongs to the upper staff.
    const std::int64_t third = kBeat / 3;
    std::vector<ScoreNote> notes;
    for (std::int64_t k = 0; k < 6; ++k)
        notes.push_back(note(k * third, (k + 1) * third, k == 1 ? 48 : 72));
    notes.push_back(note(2 * kBeat, 3 * kBeat, kMiddleC));
    const auto measures = layOut(notes, 3, 1, 2);
    const auto& lanes = measures[0];
    ASSERT_EQ(lanes.size(), 2u);
    EXPECT_EQ(lanes[0].staff, 1);
    EXPECT_EQ(lanes[1].staff, 2);
    EXPECT_EQ(lanes[1].voice, 5);
    // Upper staff: note, triplet rest, four notes, then middle C; one
    // bracket to each beat. The lower staff's note stands in a bracket of
    // triplet rests.
    EXPECT_EQ(spelledOut(lanes[0]), "[t8 rt8 t8] [t8< t8= t8>] 4");
    EXPECT_EQ(spelledOut(lanes[1]), "[rt8 t8 rt8] r4 r4");
    EXPECT_EQ(lanes[0].chords.back().tones[0].pitch, kMiddleC);
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

using MusicXmlFile = test::ScratchDirectoryTest;

// Cancelled after its first block, an export says so as the audio export
// does and leaves no file, not even its temporary one.
TEST_F(MusicXmlFile, CancelledExportIsCancelledAndLeavesNothing) {
    Document document = oneTrackDocument();
    document.song.lengthMeasures = 999;  // many blocks of output
    int asked = 0;
    const auto saved =
        musicXmlSave(path("score.musicxml"), document, false, [&asked] { return ++asked < 2; });
    ASSERT_FALSE(saved);
    EXPECT_EQ(saved.error().code, ErrorCode::kCancelled);
    EXPECT_EQ(saved.error().line(),
              path("score.musicxml") + ": Unable to export MusicXML. Export cancelled.");
    EXPECT_EQ(fileCount(), 0u);
}

// Clefs, staves and transposition by instrument and range, and the octave
// lines over notes beyond four ledger lines.
TEST(StaffPlan, ClefsFollowTheInstrumentAndWhereItsNotesLie) {
    const auto plan = [](std::int32_t program, std::int32_t low, std::int32_t high) {
        return planStaves(program, false, low, high);
    };
    // A cello from G3 to C4 reads bass clef, a horn over four octaves one
    // treble staff, a piano over the same a grand staff; a piano above
    // middle C one treble staff, a pad below it the bass clef.
    EXPECT_EQ(plan(42, 55, 60).clefs[0], Clef::kBass);
    EXPECT_EQ(plan(42, 60, 76).clefs[0], Clef::kTreble);
    EXPECT_EQ(plan(60, 40, 88).staves, 1);
    EXPECT_EQ(plan(60, 40, 88).clefs[0], Clef::kTreble);
    EXPECT_EQ(plan(0, 40, 88).staves, 2);
    EXPECT_EQ(plan(46, 40, 88).staves, 2);  // harp
    EXPECT_EQ(plan(0, 62, 80).staves, 1);
    EXPECT_EQ(plan(88, 40, 57).clefs[0], Clef::kBass);
    // Octave transpositions: piccolo and xylophone up one, glockenspiel up
    // two, guitar and bass down one (a bass stays on the bass clef).
    EXPECT_EQ(plan(72, 74, 100).octaveChange, 1);
    EXPECT_EQ(plan(13, 65, 96).octaveChange, 1);
    EXPECT_EQ(plan(9, 79, 108).octaveChange, 2);
    EXPECT_EQ(plan(24, 40, 76).octaveChange, -1);
    EXPECT_EQ(plan(33, 28, 55).octaveChange, -1);
    EXPECT_EQ(plan(33, 28, 55).clefs[0], Clef::kBass);
    // MIDI's lowest octave is written an octave up; a part over all 128
    // notes fits no single transposition and keeps to one staff.
    EXPECT_EQ(plan(0, 0, 40).octaveChange, -1);
    EXPECT_EQ(fittingOctaveChange(0, 0, 127), std::nullopt);
    EXPECT_EQ(plan(0, 0, 127).staves, 1);
    EXPECT_EQ(fittingOctaveChange(2, 100, 127), 2);
    EXPECT_EQ(fittingOctaveChange(2, 20, 100), 0);
    EXPECT_EQ(planStaves(0, true, 35, 81).clefs[0], Clef::kPercussion);

    // Four ledger lines are read (A6 over a treble staff, C3 under it),
    // five are not (B6, B2); 15ma where one octave is not enough.
    EXPECT_EQ(octaveShiftFor(Clef::kTreble, spellPitch(93, 0)), 0);
    EXPECT_EQ(octaveShiftFor(Clef::kTreble, spellPitch(95, 0)), 1);
    EXPECT_EQ(octaveShiftFor(Clef::kTreble, spellPitch(120, 0)), 2);
    EXPECT_EQ(octaveShiftFor(Clef::kTreble, spellPitch(48, 0)), 0);
    EXPECT_EQ(octaveShiftFor(Clef::kTreble, spellPitch(47, 0)), -1);
    EXPECT_EQ(octaveShiftFor(Clef::kBass, spellPitch(24, 0)), -1);
    EXPECT_EQ(ledgerLines(Clef::kBass, spellPitch(kMiddleC, 0)), 1);
}

// Names, abbreviations for later systems and dynamic marks.
TEST(ReadingAids, NamesAbbreviationsAndDynamicMarks) {
    EXPECT_EQ(partName("Flute", 1, false, true), "Flute (muted)");
    EXPECT_EQ(partName("", 3, true, false), "Drums");
    EXPECT_EQ(partName("", 3, false, false), "Track 3");
    EXPECT_EQ(partAbbreviation("Flute (muted)"), "Fl.");
    EXPECT_EQ(partAbbreviation("Walking bass"), "Wal. b.");
    EXPECT_EQ(partAbbreviation("Warm pad"), "Warm pad");
    EXPECT_EQ(partAbbreviation("Track 12"), "Tra. 12");
    // pp at 33, ff at 112; a mark at the first placement with notes and
    // where the level moves, none where it stays.
    EXPECT_EQ(dynamicOf(33), Dynamic::kPianissimo);
    EXPECT_EQ(dynamicOf(80), Dynamic::kMezzoForte);
    EXPECT_EQ(dynamicOf(127), Dynamic::kFortissimo);
    EXPECT_EQ(dynamicName(dynamicOf(64)), "mp");
    EXPECT_EQ(placementDynamics({-1.0, 80.0, 82.0, 100.0, 100.0, 79.0}),
              (std::vector<Dynamic>{Dynamic::kNone, Dynamic::kMezzoForte, Dynamic::kNone,
                                    Dynamic::kForte, Dynamic::kNone, Dynamic::kMezzoForte}));
}

// A song of one four-measure block of (dotted) sixteenths, eighths and
// quarters with a melody, velocities loud enough for some accented notes to
// sit at full velocity already, and accents on beats 1 and 3.
Song accentedSong() {
    Song song = songInit();
    song.microsequenceCount = 1;
    Microsequence& sequence = song.microsequences[0];
    microsequenceMakeNew(sequence);
    sequence.fractalType = kFractalMorseThue;
    sequence.period = 64;
    sequence.parameters = MorseThueParameters{5, 1, 3}.toBytes();
    song.blockCount = 1;
    Block& block = song.blocks[0];
    block.lengthMeasures = 4;
    block.melodyRange = 12;
    block.velocityRange = 100;
    block.velocityAmp = 40.0;  // digit sums from 4 up reach full velocity
    block.rhythmDistribution[test::kSixteenthIndex] = 0.3;
    block.rhythmDistribution[test::kEighthIndex] = 0.5;
    block.rhythmDistribution[test::kQuarterIndex] = 0.2;
    block.dottedProbability = 0.3;
    block.accents = {1, 0, 1, 0, 0, 0, 0, 0, 0};
    block.accentLevel = 0.4;
    song.lengthMeasures = 8;
    song.macrosequences[0].alignment = makeAlignment(4, 0);
    return song;
}

// Notation's notes are the render's: the same velocities note for note, an
// accent exactly where the accent step raised the velocity the file
// carries (not on every accented beat: a note already at full velocity
// gets none), and a dynamic mark at each part's first note.
TEST(TrackScoreNotes, AccentsAndVelocitiesAreTheRendersOwn) {
    Song song = accentedSong();
    MidiSong midi;
    NoRenderProgress noProgress;
    ASSERT_TRUE(renderSong(midi, song, noProgress, false, 384));
    std::vector<std::uint8_t> rendered;
    for (const MidiEvent& event : midi.tracks[0].events)
        if (event.data2 != 0) rendered.push_back(event.data2);
    Song flat = song;
    flat.blocks[0].accentLevel = 0.0;
    songPrepare(flat, noProgress);
    const auto notes = TrackScoreNotes::make(song, 0);
    const auto unaccented = TrackScoreNotes::make(flat, 0);
    ASSERT_TRUE(notes && unaccented);
    std::vector<ScoreNote> accented, plain;
    notes->forEach([&](const ScoreNote& n) { accented.push_back(n); });
    unaccented->forEach([&](const ScoreNote& n) { plain.push_back(n); });
    ASSERT_EQ(accented.size(), plain.size());
    std::vector<std::uint8_t> written;
    int marks = 0, fullAndUnmarked = 0, raised = 0;
    for (std::size_t k = 0; k < accented.size(); ++k) {
        if (accented[k].velocity != 0) written.push_back(accented[k].velocity);
        EXPECT_EQ(accented[k].accented, accented[k].velocity > plain[k].velocity) << k;
        raised += accented[k].accented;
        fullAndUnmarked += accented[k].velocity == 127 && plain[k].velocity == 127;
        marks += accented[k].dynamic != Dynamic::kNone;
    }
    EXPECT_EQ(written.size(), rendered.size());
    EXPECT_EQ(written, rendered);
    EXPECT_GT(raised, 0);
    EXPECT_GT(fullAndUnmarked, 0);
    EXPECT_EQ(marks, 1);  // both placements play the same velocities
}

// A note the block's end cuts below a 64th is left to the rest beside it;
// the one before it, and every note a block plays whole, stay.
TEST(TrackScoreNotes, SliversCutByTheBlocksEndAreLeftOut) {
    Song song = songInit();
    song.blockCount = 1;
    song.minNoteExponent = kMinNoteExponent;
    Block& block = song.blocks[0];
    block.rhythmDistribution[0] = 0.3;  // "1/64"
    block.rhythmDistribution[test::kEighthIndex] = 0.3;
    block.rhythmDistribution[test::kQuarterIndex] = 0.4;
    block.dottedProbability = 0.4;
    block.tripletProbability = 0.4;
    song.lengthMeasures = 1;
    song.macrosequences[0].alignment = makeAlignment(1, 0);
    NoRenderProgress noProgress;
    int slivers = 0;
    for (std::int32_t seed = 1; seed <= 400 && slivers < 3; ++seed) {
        block.seed = seed;
        songPrepare(song, noProgress);
        const BlockRhythm rhythm = renderBlockRhythm(song, 0);
        std::int64_t lastStart = 0;
        for (std::size_t k = 0; k + 1 < rhythm.values.size(); ++k)
            lastStart += noteValueUnits(rhythm.values[k]);
        const std::int64_t lastLength = 4 * kBeat - lastStart;
        const bool sliver = lastLength < noteValueUnits(rhythm.values.back()) && lastLength > 0 &&
                            lastLength < kShortestCutNote;
        slivers += sliver;
        const auto notes = TrackScoreNotes::make(song, 0);
        ASSERT_TRUE(notes);
        std::size_t count = 0;
        notes->forEach([&count](const ScoreNote&) { ++count; });
        const std::size_t whole = lastLength > 0 ? rhythm.notes.size() : rhythm.notes.size() - 1;
        EXPECT_EQ(count, sliver ? whole - 1 : whole) << seed;
    }
    EXPECT_GT(slivers, 0);
}

// Every MIDI note is written in the octaves MusicXML allows (0 to 9), and
// the written pitch under the octave transposition in force sounds the
// render's note: a chromatic melody over all 128 notes, on a piano, with
// both ends of the range in one measure.
TEST(MusicXmlWriter, EveryMidiNoteIsWrittenAndSoundsAsRendered) {
    Document document;
    Song& song = document.song;
    scaleSetIntervals(song.scale, scaleTypeIntervals(kScaleChromatic));
    song.microsequenceCount = 1;
    Microsequence& sequence = song.microsequences[0];
    microsequenceMakeNew(sequence);
    sequence.fractalType = kFractalMorseThue;
    sequence.period = 128;
    sequence.parameters = MorseThueParameters{200, 0, 1}.toBytes();  // 0, 1, ... 127
    song.blockCount = 1;
    Block& block = song.blocks[0];
    block.lengthMeasures = 32;
    block.melodyRange = 128;
    block.melodyOffset = 2;  // measure 17 holds notes 126, 127, 0 and 1
    block.rhythmDistribution[test::kQuarterIndex] = 1.0;
    song.lengthMeasures = 32;
    song.macrosequences[0].alignment = makeAlignment(32, 0);

    std::string bytes;
    XmlStream out([&](std::span<const std::uint8_t> b) {
        bytes.append(b.begin(), b.end());
        return true;
    });
    ASSERT_TRUE(writeMusicXml(out, document, false));
    std::vector<std::int32_t> sounding;
    std::int32_t change = 0;
    for (std::size_t at = bytes.find("<part id"); at != std::string::npos;) {
        const std::size_t transpose = bytes.find("<octave-change>", at);
        const std::size_t pitch = bytes.find("<pitch>", at);
        if (pitch == std::string::npos) break;
        if (transpose < pitch) {
            change = std::stoi(bytes.substr(transpose + 15));
            at = transpose + 1;
            continue;
        }
        const auto field = [&](const char* tag) {
            const std::size_t open = bytes.find(tag, pitch);
            const std::size_t close = bytes.find("</pitch>", pitch);
            return open < close ? bytes.substr(open + std::strlen(tag)) : std::string("0");
        };
        const std::int32_t octave = std::stoi(field("<octave>"));
        EXPECT_GE(octave, 0);
        EXPECT_LE(octave, 9);
        static const std::string kSteps = "C D EF G A B";
        const auto step = static_cast<std::int32_t>(kSteps.find(field("<step>")[0]));
        sounding.push_back((octave + 1) * 12 + step + std::stoi(field("<alter>")) + 12 * change);
        at = pitch + 1;
    }
    std::vector<std::int32_t> rendered;
    song.lengthMeasures = 32;
    MidiSong midi;
    NoRenderProgress noProgress;
    ASSERT_TRUE(renderSong(midi, song, noProgress, false, 120));
    for (const MidiEvent& event : midi.tracks[0].events)
        if (event.data2 != 0) rendered.push_back(event.data1);
    EXPECT_EQ(sounding, rendered);
    EXPECT_EQ(*std::min_element(rendered.begin(), rendered.end()), 0);
    EXPECT_EQ(*std::max_element(rendered.begin(), rendered.end()), 127);
}

}  // namespace
}  // namespace halvorn

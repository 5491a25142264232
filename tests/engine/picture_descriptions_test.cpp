#include "engine/picture_descriptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/arrangement_picture.h"
#include "fractal/mandelbrot_editor.h"
#include "model/song.h"

namespace halvorn {
namespace {

// A screen reader going down a block's notes at 120 ticks a beat: pitches
// spelled in the key, beats counted from 1 with their fractions, the value
// the rhythm wrote (not the legato-shortened sound), and, where nothing was
// written, the value or the length the note sounds.
TEST(PictureDescriptions, PianoRollNotesReadAsAMusicianNamesThem) {
    PianoRollFrame frame;  // 4/4, one measure
    frame.ticksPerBeat = 120;
    const std::vector<PianoRollNote> notes = {
        {0, 59, 74, 90},     // D5, half a beat (the off on the tick before the next): an eighth
        {120, 149, 61, 40},  // written an eighth, sounding a sixteenth
        {270, 314, 70, 64},  // beat 3¼, ⅜ beat long: a dotted sixteenth
        {400, 449, 72, 1},   // beat 4⅓, 5/12 beat: no value at all
        {2, 7, 60, 127},     // whole ticks of short triplets, read on the 1/96 grid
    };
    NoteNaming naming;
    naming.keyFifths = -1;  // F major: B flat, D flat
    naming.written = {{0, {-3, false, false}}, {120, {-3, false, false}}};
    EXPECT_EQ(pianoRollNoteTexts(notes, frame, naming),
              (std::vector<std::string>{"D5, beat 1, eighth, velocity 90",
                                        "D flat 4, beat 2, eighth, velocity 40",
                                        "B flat 4, beat 3¼, dotted sixteenth, velocity 64",
                                        "C5, beat 4⅓, 5/12 beat, velocity 1",
                                        "C4, beat 1 1/48, thirty-second triplet, velocity 127"}));

    naming.keyFifths = 2;  // D major: C sharp
    frame.beats = 8;       // two measures: each note says which
    EXPECT_EQ(pianoRollNoteTexts(std::vector<PianoRollNote>{{690, 1169, 61, 100}}, frame, naming),
              (std::vector<std::string>{"C sharp 4, measure 2, beat 2¾, whole, velocity 100"}));
}

TEST(PictureDescriptions, NoteValuesAndLengths) {
    EXPECT_EQ(noteValueName({-6, false, false}), "sixty-fourth");
    EXPECT_EQ(noteValueName({-2, true, false}), "dotted quarter");
    EXPECT_EQ(noteValueName({-4, false, true}), "sixteenth triplet");
    EXPECT_EQ(noteValueName({3, false, false}), "octuple whole");
    // A dotted quarter triplet lasts an eighth: the plain value is named.
    EXPECT_EQ(noteValueOfUnits(48), (NoteValue{-3, false, false}));
    EXPECT_EQ(noteValueOfUnits(32), (NoteValue{-2, false, true}));
    EXPECT_EQ(noteValueOfUnits(40), std::nullopt);
    EXPECT_EQ(beatLengthText(0), "0 beats");
    EXPECT_EQ(beatLengthText(96), "1 beat");
    EXPECT_EQ(beatLengthText(240), "2½ beats");
    EXPECT_EQ(beatText(95), "1 95/96");
}

// Track 0 of a 4/4 song: a 2-measure block placed at beat 8 stretched by 2
// covers measures 3..6; a later placement at beat 16 paints over measures
// 5..6 as the picture does.
TEST(PictureDescriptions, ArrangementCellsSayWhatTheBarsShow) {
    Song song = songInit();
    song.blockCount = 2;
    song.blocks[0].lengthMeasures = 2;
    Macrosequence& track = song.macrosequences[0];
    track.placements = {{8, 2.0}, {16, 1.0}};
    track.placementCount = 2;

    EXPECT_EQ(arrangementCellText(song, 0, 2, false), "empty");
    EXPECT_EQ(arrangementCellText(song, 0, 3, false), "block 0 placed, ×2 stretch");
    EXPECT_EQ(arrangementCellText(song, 0, 4, true),
              "block 0 continues, measure 2 of 4, play line");
    EXPECT_EQ(arrangementCellText(song, 0, 5, false), "block 0 placed, ×1 stretch");
    EXPECT_EQ(arrangementCellText(song, 0, 6, false), "block 0 continues, measure 2 of 2");
    EXPECT_EQ(arrangementCellText(song, 0, 7, false), "empty");
    // Placements the count leaves out, and tracks beyond the blocks, are not drawn.
    track.placementCount = 1;
    EXPECT_EQ(arrangementCellText(song, 0, 5, false), "block 0 continues, measure 3 of 4");
    song.macrosequences[2] = track;
    EXPECT_EQ(arrangementCellText(song, 2, 3, false), "empty");

    EXPECT_EQ(measureOfBeats(0.0, 4), 1);
    EXPECT_EQ(measureOfBeats(7.99, 4), 2);
    EXPECT_EQ(measureOfBeats(8.0, 4), 3);
}

// The editor's marks in the plane: the view and the zoom rectangle while the
// arrows move the rectangle, then point 1 and its orbit, or both points of a
// line.
TEST(PictureDescriptions, MandelbrotMarksFollowTheEditMode) {
    MandelbrotEditor editor(mandelbrotImageSize(36));  // 48 × 36
    editor.load(defaultMandelbrotParameters());
    std::vector<DescribedMark> marks = mandelbrotMarks(editor);
    ASSERT_GE(marks.size(), 4u);
    EXPECT_EQ(marks[0].text, "View: x from -2.33333 to 2, y from -2 to 2");
    EXPECT_EQ(marks[1].text, "Zoom rectangle: x from -2.33333 to 1.90972, y from -2 to 1.88889");
    EXPECT_EQ(marks[1].area, (PixelRect{0, 0, 47, 35}));
    EXPECT_EQ(marks[2].text, "Point 1: x -0.0763887, y 0");
    EXPECT_EQ(marks[2].area, (PixelRect{24, 17, 26, 19}));
    // c lies inside the set: the orbit keeps all its 64 further steps.
    EXPECT_EQ(marks.size(), 3u + 64u);
    EXPECT_EQ(marks[3].text.rfind("Orbit step 1: x ", 0), 0u) << marks[3].text;

    editor.setPathKind(MandelbrotParameters::kLine);
    editor.fixPoints();
    marks = mandelbrotMarks(editor);
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_EQ(marks[1].text, "Point 1: x -0.0763887, y 0");
    EXPECT_EQ(marks[2].text, "Point 2: x -0.0763887, y 0");
}

}  // namespace
}  // namespace halvorn

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/piano_roll.h"

namespace halvorn {
namespace {

MidiEvent on(std::uint32_t time, std::uint8_t key, std::uint8_t velocity) {
    return {time, 0x93, key, velocity};
}
MidiEvent off(std::uint32_t time, std::uint8_t key) {
    return {time, 0x93, key, 0};
}

std::uint32_t brightness(std::uint32_t colour) {
    return ((colour >> 16) & 0xFF) + ((colour >> 8) & 0xFF) + (colour & 0xFF);
}

// Two measures of 2/4 at 120 ticks a beat, one pixel a tick, ten pixels a key.
PianoRollFrame twoMeasures() {
    PianoRollFrame frame;
    frame.width = 480;
    frame.height = 250;
    frame.ticksPerBeat = 120;
    frame.beatsPerMeasure = 2;
    frame.beats = 4;
    return frame;
}

TEST(PianoRoll, NotesAreBarsAtTheirKeysAndTicksOverBeatAndMeasureLines) {
    // A loud C4 on beat 1, a silent F#4 on beat 2, a soft C5 on beat 3 that
    // starts as the one before it ends, and a G4 nobody ends.
    const std::vector<MidiEvent> events = {on(0, 60, 127),  off(119, 60),    on(120, 66, 0),
                                           off(239, 66),    on(240, 72, 40), off(359, 72),
                                           on(360, 67, 100)};
    const PianoRollFrame frame = twoMeasures();

    const auto notes = pianoRollNotes(events, 479);
    EXPECT_EQ(notes, (std::vector<PianoRollNote>{
                         {0, 119, 60, 127}, {240, 359, 72, 40}, {360, 479, 67, 100}}));

    const PianoRollImage image = composePianoRoll(events, frame);
    ASSERT_EQ(image.pixels.size(), 480u * 250u);
    // 13 keys used, widened to 25 around them.
    EXPECT_EQ(image.lowestPitch, 54);
    EXPECT_EQ(image.highestPitch, 78);
    EXPECT_EQ(image.pitchTop(78), 0);
    EXPECT_EQ(image.pitchBottom(54), 250);
    EXPECT_LT(image.pitchTop(72), image.pitchTop(60));

    const auto pixel = [&](int x, int pitch) {
        const int y = (image.pitchTop(pitch) + image.pitchBottom(pitch)) / 2;
        return image.pixels[static_cast<std::size_t>(y) * 480 + static_cast<std::size_t>(x)];
    };
    const std::uint32_t loud = pianoRollNoteColour(127);
    const std::uint32_t soft = pianoRollNoteColour(40);
    EXPECT_LT(brightness(loud), brightness(soft));
    EXPECT_EQ(pixel(0, 60), loud);
    EXPECT_EQ(pixel(118, 60), loud);
    EXPECT_EQ(pixel(119, 60), kPianoRollWhiteKey);  // the pixel left free after a bar
    EXPECT_EQ(pixel(300, 72), soft);
    EXPECT_EQ(pixel(478, 67), pianoRollNoteColour(100));  // to the right edge
    EXPECT_EQ(pixel(180, 66), kPianoRollBlackKey);        // a silent note is no bar
    EXPECT_EQ(pixel(120, 64), kPianoRollBeatLine);
    EXPECT_EQ(pixel(240, 64), kPianoRollMeasureLine);
    EXPECT_EQ(pixel(360, 64), kPianoRollBeatLine);
    EXPECT_EQ(pixel(50, 64), kPianoRollWhiteKey);
    EXPECT_EQ(pixel(50, 63), kPianoRollBlackKey);
    // The octave line under C4.
    EXPECT_EQ(image.pixels[static_cast<std::size_t>(image.pitchBottom(60) - 1) * 480 + 50],
              kPianoRollOctaveLine);
}

// A note three pixels wide still leaves its last pixel free, so a note
// repeated on the same key right after it shows as a second bar.
TEST(PianoRoll, RepeatedShortNotesOnOneKeyStayApart) {
    const std::vector<MidiEvent> events = {on(0, 60, 127), off(2, 60), on(3, 60, 127), off(5, 60)};
    const PianoRollImage image = composePianoRoll(events, twoMeasures());
    const int y = (image.pitchTop(60) + image.pitchBottom(60)) / 2;
    const auto pixel = [&](int x) {
        return image.pixels[static_cast<std::size_t>(y) * 480 + static_cast<std::size_t>(x)];
    };
    const std::uint32_t loud = pianoRollNoteColour(127);
    EXPECT_EQ(pixel(1), loud);
    EXPECT_EQ(pixel(2), kPianoRollWhiteKey);
    EXPECT_EQ(pixel(3), loud);
    EXPECT_EQ(pixel(4), loud);
}

TEST(PianoRoll, KeysStayInsideTheMidiRangeAndTinyOrEmptyFramesAreSafe) {
    const std::vector<MidiEvent> high = {on(0, 127, 90), off(10, 127)};
    const PianoRollImage top = composePianoRoll(high, twoMeasures());
    EXPECT_EQ(top.highestPitch, 127);
    EXPECT_EQ(top.lowestPitch, 127 - kPianoRollMinimumKeys + 1);
    const std::vector<MidiEvent> low = {on(0, 0, 90), off(10, 0)};
    EXPECT_EQ(composePianoRoll(low, twoMeasures()).lowestPitch, 0);
    const PianoRollImage none = composePianoRoll({}, twoMeasures());
    EXPECT_EQ(none.lowestPitch, 48);
    EXPECT_EQ(none.highestPitch, 72);

    // A note of no length still shows; a frame without area or beats gives
    // no pixels or no lines, never a fault.
    PianoRollFrame narrow = twoMeasures();
    narrow.width = 3;
    narrow.height = 2;
    const std::vector<MidiEvent> instant = {on(200, 60, 127), off(200, 60)};
    const PianoRollImage small = composePianoRoll(instant, narrow);
    ASSERT_EQ(small.pixels.size(), 6u);
    EXPECT_NE(std::find(small.pixels.begin(), small.pixels.end(), pianoRollNoteColour(127)),
              small.pixels.end());
    PianoRollFrame empty = twoMeasures();
    empty.width = 0;
    EXPECT_TRUE(composePianoRoll(instant, empty).pixels.empty());
    PianoRollFrame noBeats = twoMeasures();
    noBeats.beats = 0;
    EXPECT_EQ(composePianoRoll(instant, noBeats).pixels.size(), 480u * 250u);
}

}  // namespace
}  // namespace halvorn

#pragma once
// What the painted pictures say to a screen reader, item by item: a piano
// roll's notes ("D5, beat 3¼, eighth, velocity 90"), an arrangement cell
// ("block 3 placed, ×2 stretch"), a microsequence's values, the marks of
// the Mandelbrot editor. Plain UTF-8 text worded to be spoken: accidentals
// are words ("C sharp 5"), since a "#" is read as "number" or not at all.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/note_value.h"
#include "engine/piano_roll.h"
#include "fractal/mandelbrot_editor.h"
#include "model/song.h"

namespace halvorn {

// MIDI note `note` spelled in the key with `keyFifths` sharps (negative:
// flats): "D5", "B flat 4", "C sharp 5". Middle C (60) is C4.
std::string pitchName(std::int32_t note, std::int32_t keyFifths);

// A place `units` (1/96 beat) after the start of a measure as the beat it
// falls in, counted from 1: 0 is "1", 216 is "3¼", 232 is "3⅓"; a fraction
// without a sign of its own is written "3 5/96".
std::string beatText(std::int64_t units);

// "eighth", "dotted quarter", "sixteenth triplet", "double whole".
std::string noteValueName(const NoteValue& value);

// The note value `units` long, if one is: plain values first, then dotted,
// then triplets (a dotted quarter triplet is an eighth).
std::optional<NoteValue> noteValueOfUnits(std::int64_t units);

// A length of `units` in beats: "⅜ beat", "1 beat", "2½ beats".
std::string beatLengthText(std::int64_t units);

// A piano roll's note as a screen reader lists it.
struct SpokenNote {
    std::int32_t pitch = 60;
    std::int32_t velocity = 0;
    std::int64_t startUnits = 0;   // from the block's start
    std::int64_t lengthUnits = 0;  // as it sounds
    std::optional<NoteValue> written;
};
struct NoteSpeech {
    std::int32_t beatsPerMeasure = 4;
    std::int32_t keyFifths = 0;
    bool measures = false;  // the block is longer than one measure: say which
};
// "D5, beat 3¼, eighth, velocity 90" ("D5, measure 2, beat 3¼, ..." when
// `speech.measures`). The written value when it is known, else the value
// the note sounds as, else its length in beats.
std::string spokenNoteText(const SpokenNote& note, const NoteSpeech& speech);

// How a piano roll's notes are named: the key they are spelled in, and the
// value each note was written as, by the tick it starts on, in tick order
// (what the rhythm step drew; a note without one is named by its length).
struct WrittenNote {
    std::uint32_t tick = 0;
    NoteValue value;
};
struct NoteNaming {
    std::int32_t keyFifths = 0;
    std::vector<WrittenNote> written;
};
// The naming of block `blockIndex`'s notes at `ppqn` ticks a beat: the
// song's key, and the value the rhythm step writes for each note (it
// reseeds the random source from the block's seed, as rendering does).
NoteNaming blockNoteNaming(const Song& song, std::int32_t blockIndex, std::int32_t ppqn);

// The texts of `notes` (as pianoRollNotes pairs them) over `frame`.
std::vector<std::string> pianoRollNoteTexts(std::span<const PianoRollNote> notes,
                                            const PianoRollFrame& frame, const NoteNaming& naming);

// The cell of track `track` in song measure `measure` (1-based) as the
// arrangement display draws it: "block 3 placed, ×2 stretch" where a
// placement starts, "block 3 continues, measure 2 of 4" inside it, "empty"
// elsewhere; ", play line" is added when the play line is in it.
std::string arrangementCellText(const Song& song, std::int32_t track, std::int64_t measure,
                                bool playLine);

// The song measure (1-based) that `positionBeats` lies in.
std::int64_t measureOfBeats(double positionBeats, std::int32_t beatsPerMeasure);

// "Value 3: 17" for the third value of a sequence.
std::string sequenceValueText(std::size_t index, std::int32_t value);

// A mark of the Mandelbrot editor's picture and the pixels it covers.
struct DescribedMark {
    std::string text;
    PixelRect area;
};
// The view, the zoom rectangle (while the arrows move it), point 1, point 2
// of a line, and the orbit's further points, in plane coordinates:
// "Point 1: x -0.75, y 0.1".
std::vector<DescribedMark> mandelbrotMarks(const MandelbrotEditor& editor);

}  // namespace halvorn

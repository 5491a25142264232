#pragma once
// One part of a MusicXML score, written measure by measure as the layout
// gives it: the attributes (key, time, staves, clefs, octave
// transposition), the tempo on the first part, dynamic marks, octave lines
// over notes that would need more than four ledger lines, notes (or
// unpitched drum notes) and rests with their ties, triplet brackets, beams
// and accents, and a new system every few measures when the page layout
// asks for it.

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/key_signature.h"
#include "engine/part_plan.h"
#include "engine/xml_stream.h"
#include "model/song.h"

namespace halvorn {

struct ScoreSettings {
    const Song& song;
    KeySignature key;
    bool chromatic = false;              // every semitone a degree: no key signature
    std::int32_t measuresPerSystem = 0;  // 0: the reader lays out its systems
};

// The id of part `index` ("P1" for the first); its instruments are
// "P1-I1" (a pitched part) or "P1-I<key + 1>" (each key of a drum part).
std::string musicXmlPartId(std::size_t index);
std::string musicXmlInstrumentId(std::size_t index, const PartPlan& part, std::int32_t key);

// Writes part `index` of the score: <part> to </part>.
void writeMusicXmlPart(XmlStream& out, const ScoreSettings& score, const PartPlan& part,
                       std::size_t index);

}  // namespace halvorn

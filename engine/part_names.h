#pragma once
// What a part is called on the score: its full name on the first system and
// an abbreviation on the later ones.

#include <string>
#include <string_view>

namespace halvorn {

// The part's name: the block's description, "Drums" for an unnamed
// percussion track, "Track N" for another unnamed one; " (muted)" added for
// a muted track, so a reader knows the playback leaves it out.
std::string partName(std::string_view description, int trackNumber, bool percussion, bool muted);

// The abbreviation of a part name: the usual one for an instrument's name
// ("Flute" "Fl.", "Violoncello" "Vc."), a word of five letters or more cut
// to its first three and a full stop, shorter words as they are; "(muted)"
// is left out.
std::string partAbbreviation(std::string_view name);

}  // namespace halvorn

#pragma once
// Ledger lines and the octave lines that spare them: a written note that
// would need more than four ledger lines above or below its staff is shown
// under an 8va or 8vb line, or 15ma/15mb when one octave is not enough.

#include <cstdint>

#include "engine/pitch_spelling.h"
#include "engine/staff_plan.h"

namespace halvorn {

inline constexpr std::int32_t kMostLedgerLines = 4;

// The ledger lines `pitch` needs on a staff with `clef`: positive above the
// staff, negative below, 0 on it. A percussion staff counts as a treble one.
std::int32_t ledgerLines(Clef clef, const SpelledPitch& pitch);

// The octaves `pitch` is shown shifted by: 1 or 2 for a line above the
// notes (8va, 15ma: the note is shown lower than written), -1 or -2 for a
// line below (8vb, 15mb), 0 when four ledger lines or fewer suffice.
std::int32_t octaveShiftFor(Clef clef, const SpelledPitch& pitch);

}  // namespace halvorn

#pragma once
// Drop-down lists as the pages use them: a selection set without running the
// list's change handlers, and the "%2d: %s" entries of the lists of
// microsequences and blocks.

#include <QString>
#include <cstdint>

class QComboBox;

namespace halvorn {

// Selects `index`, or nothing when the list has no such entry, without the
// list's change signals.
void selectIndex(QComboBox* list, std::int32_t index);

// "%2d: %s": the index right-aligned in two places, a colon, a blank, the name.
QString recordListEntry(std::int32_t index, const QString& name);

}  // namespace halvorn

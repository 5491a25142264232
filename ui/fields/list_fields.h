#pragma once
// Drop-down lists as the pages use them: a selection set without running the
// list's change handlers, and the "%2d: %s" entries of the lists of
// microsequences and blocks.

#include <QString>
#include <QStringList>
#include <cstdint>

class QComboBox;

namespace halvorn {

struct Song;

enum class RecordKind { Microsequence, Block };

// Selects `index`, or nothing when the list has no such entry, without the
// list's change signals.
void selectIndex(QComboBox* list, std::int32_t index);

// "%2d: %s": the index right-aligned in two places, a colon, a blank, the name.
QString recordListEntry(std::int32_t index, const QString& name);

// The entries of the first `count` microsequences or blocks of `song`, by
// their descriptions; none without a song.
QStringList recordListEntries(const Song* song, RecordKind kind, std::int32_t count);

// Replaces the list's entries, without the list's change signals.
void setListEntries(QComboBox* list, const QStringList& entries);

}  // namespace halvorn

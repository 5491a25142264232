#pragma once
// What the Copy dialog offers: the records to copy from and to, and the
// extra destination that asks for a new record first. The page that runs
// the dialog performs the copy.

#include <cstdint>
#include <optional>
#include <string>

#include "model/song.h"

namespace halvorn {

enum class CopyMode : std::int32_t { Microsequence = 1, Block = 2, Macrosequence = 3 };

// The entries of both lists: the microsequences (mode 1) or the blocks
// (modes 2 and 3; macrosequence i belongs to block i) in use, never more
// than the Song holds.
std::int32_t copyEntryCount(const Song& song, CopyMode mode);

// The name of the destination entry after the `count` existing ones, which
// asks for a new record, while its table has room; none for macrosequences.
std::optional<std::string> copyNewEntryName(CopyMode mode, std::int32_t count);

}  // namespace halvorn

#include "edit/copy_choices.h"

#include "edit/song_records.h"

namespace halvorn {

std::int32_t copyEntryCount(const Song& song, CopyMode mode) {
    return mode == CopyMode::Microsequence ? usedMicrosequences(song) : usedBlocks(song);
}

std::optional<std::string> copyNewEntryName(CopyMode mode, std::int32_t count) {
    if (mode == CopyMode::Microsequence && count < kMaxMicrosequences) {
        return "Create New Sequence";
    }
    if (mode == CopyMode::Block && count < kMaxBlocks) return "Create New Block";
    return std::nullopt;
}

}  // namespace halvorn

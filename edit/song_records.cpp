#include "edit/song_records.h"

#include <algorithm>

namespace halvorn {

std::int32_t usedMicrosequences(const Song& song) {
    return std::clamp(song.microsequenceCount, 0, kMaxMicrosequences);
}

std::int32_t usedBlocks(const Song& song) {
    return std::clamp(song.blockCount, 0, kMaxBlocks);
}

Expected<std::int32_t, std::string> appendMicrosequence(Song& song) {
    const std::int32_t index = usedMicrosequences(song);
    if (index >= kMaxMicrosequences) {
        return unexpected("There are already " + std::to_string(kMaxMicrosequences) +
                          " microsequences");
    }
    microsequenceMakeNew(song.microsequences[index]);
    song.microsequenceCount = index + 1;
    return index;
}

bool microsequenceInUse(const Song& song, std::int32_t index) {
    const auto first = song.blocks.begin();
    return std::any_of(first, first + usedBlocks(song), [index](const Block& block) {
        return block.melodySequence == index || block.velocitySequence == index;
    });
}

void deleteMicrosequence(Song& song, std::int32_t index) {
    const std::int32_t count = usedMicrosequences(song);
    auto& records = song.microsequences;
    microsequenceFree(records[index]);
    std::move(records.begin() + index + 1, records.begin() + count, records.begin() + index);
    microsequenceReset(records[count - 1]);
    song.microsequenceCount = count - 1;
}

Expected<std::int32_t, std::string> appendBlock(Song& song) {
    const std::int32_t index = usedBlocks(song);
    if (index >= kMaxBlocks) {
        return unexpected("There are already " + std::to_string(kMaxBlocks) + " blocks");
    }
    if (usedMicrosequences(song) <= 0) {
        return unexpected(std::string("No microsequences have been defined."));
    }
    blockMakeNew(song.blocks[index], index);
    song.blockCount = index + 1;
    return index;
}

void deleteBlock(Song& song, std::int32_t index) {
    const std::int32_t count = usedBlocks(song);
    auto& blocks = song.blocks;
    std::move(blocks.begin() + index + 1, blocks.begin() + count, blocks.begin() + index);
    blockReset(blocks[count - 1]);
    song.blockCount = count - 1;
}

std::string copyDescription(std::string_view source) {
    std::string copy;
    setDescription(copy, "Copy of " + std::string(source));
    return copy;
}

}  // namespace halvorn

#include "model/song.h"

#include <utility>

namespace halvorn {

std::int32_t alignMeasures(std::int32_t alignment) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(alignment) & 0xFFFFu);
}

std::int32_t displacementMeasures(std::int32_t alignment) {
    return static_cast<std::int16_t>(static_cast<std::uint32_t>(alignment) >> 16);
}

std::int32_t makeAlignment(std::int32_t align, std::int32_t displacement) {
    const std::uint32_t packed = static_cast<std::uint32_t>(displacement) << 16 |
                                 (static_cast<std::uint32_t>(align) & 0xFFFFu);
    return static_cast<std::int32_t>(packed);
}

bool samePlacements(const Song& a, const Song& b) {
    for (std::size_t i = 0; i < a.macrosequences.size(); ++i) {
        const Macrosequence& left = a.macrosequences[i];
        const Macrosequence& right = b.macrosequences[i];
        if (left.placementCount != right.placementCount || left.placements != right.placements)
            return false;
    }
    return true;
}

Song songInit() {
    Song song;
    scaleSet(song.scale, scaleTypeIntervals(kScaleMajor), 0);
    return song;
}

void songReset(Song& song) {
    for (std::int32_t i = 0; i < song.microsequenceCount && i < kMaxMicrosequences; ++i)
        microsequenceFree(song.microsequences[i]);
    for (std::int32_t i = 0; i < song.blockCount && i < kMaxBlocks; ++i) {
        blockReset(song.blocks[i]);
        macrosequenceFree(song.macrosequences[i]);
    }
    // Every other field as a new Song has it; the records stay where they are.
    Song fresh = songInit();
    fresh.microsequences = std::move(song.microsequences);
    fresh.blocks = std::move(song.blocks);
    fresh.macrosequences = std::move(song.macrosequences);
    song = std::move(fresh);
}

void microsequenceReset(Microsequence& microsequence) {
    microsequence.description.clear();
    microsequence.fractalType = 0;
    microsequence.period = 0;
    microsequence.parameters.reset();
    microsequence.values.reset();
}

void microsequenceFree(Microsequence& microsequence) {
    microsequenceReset(microsequence);
}

void blockReset(Block& block) {
    block = Block{};
}

void macrosequenceReset(Macrosequence& macrosequence) {
    macrosequence = Macrosequence{};
}

void macrosequenceFree(Macrosequence& macrosequence) {
    macrosequenceReset(macrosequence);
}

void microsequenceMakeNew(Microsequence& microsequence) {
    microsequenceReset(microsequence);
    microsequence.description = "New Sequence";
    microsequence.period = 256;
}

void blockMakeNew(Block& block, std::int32_t index) {
    blockReset(block);
    block.description = "New Block";
    block.channel = index;
}

void setDescription(std::string& description, std::string_view text) {
    description.assign(text.substr(0, kDescriptionLength));
}

}  // namespace halvorn

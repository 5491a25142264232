#pragma once
// Adding, deleting and copying the Song's microsequences and blocks, as the
// pages do it. Refusals come back as the message the user is shown.

#include <cstdint>
#include <string>
#include <string_view>

#include "model/expected.h"
#include "model/song.h"

namespace halvorn {

// The records in use, held to the table sizes (a count read from a file can
// be anything).
std::int32_t usedMicrosequences(const Song& song);
std::int32_t usedBlocks(const Song& song);

// Appends a "New Sequence" of period 256; its index, or the message that
// the table is full.
Expected<std::int32_t, std::string> appendMicrosequence(Song& song);

// Whether any block in use takes its melody or velocity from record `index`.
bool microsequenceInUse(const Song& song, std::int32_t index);

// Removes record `index` (which must be in use) and moves the later ones
// down. Blocks keep their stored indexes, so they now name the records that
// moved into place: documents rely on this.
void deleteMicrosequence(Song& song, std::int32_t index);

// Appends a "New Block" that plays on its own index as channel; its index,
// or the message why not (a full table, or no microsequence to play).
// Macrosequences are not touched.
Expected<std::int32_t, std::string> appendBlock(Song& song);

// Removes block `index` (which must be in use) and moves the later ones
// down. Macrosequences stay in their slots: track i arranges whatever block
// now sits in slot i.
void deleteBlock(Song& song, std::int32_t index);

// "Copy of " and the source's description, held to the 30 bytes a
// description stores.
std::string copyDescription(std::string_view source);

}  // namespace halvorn

#pragma once
// Whole-file reading and crash-safe replacing writes for the document and
// MIDI file formats.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace halvorn {

// The whole content of `path`, or nothing when it cannot be opened or read.
std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path);

// Writes `bytes` to a temporary file beside `path`, checks every write and the
// close, and renames it into place. On failure the temporary file is removed,
// any existing file at `path` is untouched, and the result is false.
bool writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace halvorn

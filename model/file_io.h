#pragma once
// Whole-file reading for the document and MIDI file readers; writing goes
// through model/output_file.h.

#include <cstdint>
#include <string>
#include <vector>

#include "model/expected.h"

namespace halvorn {

// The whole content of the regular file `path`; the errno value when it
// cannot be opened or read (EISDIR-like refusals for other kinds of file).
Expected<std::vector<std::uint8_t>, int> readWholeFile(const std::string& path);

}  // namespace halvorn

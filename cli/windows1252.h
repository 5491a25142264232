#pragma once
// Documents keep their texts as Windows-1252 bytes; a terminal wants UTF-8.

#include <string>
#include <string_view>

namespace halvorn::cli {

// The UTF-8 form of Windows-1252 `text`; the five unassigned bytes become
// U+FFFD.
std::string windows1252ToUtf8(std::string_view text);

}  // namespace halvorn::cli

#pragma once
// The document's texts are Windows-1252 bytes; this is the one codec
// between them and Unicode code points. Every byte decodes to exactly one
// code point: the five bytes the code page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) decode to the C1 control of the same number, so any
// stored text survives a round trip unchanged.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace halvorn {

char32_t windows1252Decode(std::uint8_t byte);

// The byte that stores `codePoint`; nothing when Windows-1252 has none.
std::optional<std::uint8_t> windows1252Encode(char32_t codePoint);

// Document text as UTF-8, for a terminal.
std::string windows1252ToUtf8(std::string_view bytes);

}  // namespace halvorn

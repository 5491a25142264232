#include "midi/track_file_names.h"

#include <cstdio>

#include "model/text_codec.h"

namespace halvorn {
namespace {

constexpr std::string_view kRefusedInFileNames = "/\\:*?\"<>|";

// A byte of Windows-1252 text that a file name should not hold.
bool refusedByte(unsigned char byte) {
    const char32_t codePoint = windows1252Decode(byte);
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint < 0xA0) ||
           kRefusedInFileNames.find(static_cast<char>(byte)) != std::string_view::npos;
}

}  // namespace

std::string trackFileName(std::size_t slot, const std::optional<std::string>& name,
                          std::string_view extension) {
    std::string kept = name.value_or(std::string());
    for (char& c : kept)
        if (refusedByte(static_cast<unsigned char>(c))) c = '_';
    while (!kept.empty() && (kept.back() == ' ' || kept.back() == '.')) kept.pop_back();
    char number[8];
    std::snprintf(number, sizeof number, "%02zu", slot);
    std::string file = number;
    if (!kept.empty()) file += "-" + windows1252ToUtf8(kept);
    file += ".";
    file += extension;
    return file;
}

}  // namespace halvorn

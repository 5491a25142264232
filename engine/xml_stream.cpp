#include "engine/xml_stream.h"

#include <charconv>
#include <cmath>

namespace halvorn {
namespace {

constexpr std::size_t kBlockSize = 1 << 16;

}  // namespace

XmlStream::XmlStream(Sink sink) : sink_(std::move(sink)) {
    buffer_.reserve(kBlockSize + 256);
}

void XmlStream::spill() {
    if (buffer_.size() >= kBlockSize) flush();
}

XmlStream& XmlStream::markup(std::string_view text) {
    buffer_.append(text);
    spill();
    return *this;
}

XmlStream& XmlStream::text(std::string_view utf8) {
    for (const char c : utf8) {
        switch (c) {
            case '&':
                buffer_.append("&amp;");
                break;
            case '<':
                buffer_.append("&lt;");
                break;
            case '>':
                buffer_.append("&gt;");
                break;
            case '"':
                buffer_.append("&quot;");
                break;
            case '\'':
                buffer_.append("&apos;");
                break;
            default:
                // XML has no place for the other C0 controls, not even escaped.
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r')
                    buffer_.push_back(c);
        }
    }
    spill();
    return *this;
}

XmlStream& XmlStream::number(std::int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    buffer_.append(digits, result.ptr);
    spill();
    return *this;
}

XmlStream& XmlStream::fixed(double value, int decimals) {
    if (!std::isfinite(value)) value = 0.0;
    char digits[64];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    buffer_.append(digits, result.ptr);
    spill();
    return *this;
}

bool XmlStream::flush() {
    if (!failed_ && !buffer_.empty()) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(buffer_.data());
        failed_ = !sink_(std::span(bytes, buffer_.size()));
    }
    buffer_.clear();
    return !failed_;
}

}  // namespace halvorn

#pragma once
// Buffered text output for XML documents: markup as given, text escaped,
// numbers formatted without the locale, and the bytes handed on in blocks so
// a document of any size streams through a small buffer.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace halvorn {

class XmlStream {
  public:
    // `sink` takes each full block; false stops the output (a failed write).
    using Sink = std::function<bool(std::span<const std::uint8_t>)>;
    explicit XmlStream(Sink sink);

    XmlStream& markup(std::string_view text);  // as it is
    XmlStream& text(std::string_view utf8);    // escaped for content and attributes
    XmlStream& number(std::int64_t value);
    XmlStream& fixed(double value, int decimals);  // "78.74", never "78,74"

    // Hands on what is buffered; false when any block was refused.
    bool flush();
    bool failed() const { return failed_; }

  private:
    void spill();

    Sink sink_;
    std::string buffer_;
    bool failed_ = false;
};

}  // namespace halvorn

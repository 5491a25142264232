#pragma once
// The one pair of byte cursors the file formats are read and written with:
// ByteSink appends to a buffer, ByteSource reads a span and never past its
// end. Little-endian for the document, big-endian for MIDI files.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "model/byte_order.h"

namespace halvorn {

// Thrown by ByteSource when the input ends before what is asked of it; each
// reader turns it into its own refusal.
struct TruncatedInput {};

class ByteSink {
  public:
    explicit ByteSink(std::vector<std::uint8_t>& out) : out_(out) {}

    void byte(std::uint8_t value) { out_.push_back(value); }
    void bytes(std::span<const std::uint8_t> values) {
        out_.insert(out_.end(), values.begin(), values.end());
    }
    void zeros(std::size_t count) { out_.insert(out_.end(), count, 0); }
    void le32(std::uint32_t value) { put<4>(putLe32, value); }
    void leDouble(double value) { put<8>(putLeDouble, value); }
    void be16(std::uint16_t value) { put<2>(putBe16, value); }
    void be32(std::uint32_t value) { put<4>(putBe32, value); }

  private:
    template <std::size_t Size, typename Put, typename Value>
    void put(Put encode, Value value) {
        std::uint8_t buffer[Size];
        encode(buffer, value);
        out_.insert(out_.end(), buffer, buffer + Size);
    }

    std::vector<std::uint8_t>& out_;
};

class ByteSource {
  public:
    explicit ByteSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t remaining() const { return bytes_.size() - position_; }
    // How many bytes were taken so far: the offset of the next one.
    std::size_t position() const { return position_; }

    std::span<const std::uint8_t> take(std::size_t count) {
        if (count > remaining()) throw TruncatedInput{};
        const auto part = bytes_.subspan(position_, count);
        position_ += count;
        return part;
    }
    void skip(std::size_t count) { take(count); }
    std::uint8_t byte() { return take(1)[0]; }
    std::uint32_t le32() { return getLe32(take(4).data()); }
    std::int32_t leInt32() { return getLeInt32(take(4).data()); }
    double leDouble() { return getLeDouble(take(8).data()); }
    std::uint16_t be16() { return getBe16(take(2).data()); }
    std::uint32_t be32() { return getBe32(take(4).data()); }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

}  // namespace halvorn

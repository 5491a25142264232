#pragma once
// Explicit little- and big-endian conversions, so stored formats hold on any
// host whatever its own byte order.

#include <bit>
#include <cstdint>
#include <cstring>

namespace halvorn {

inline void putLe32(std::uint8_t* out, std::uint32_t value) {
    out[0] = static_cast<std::uint8_t>(value);
    out[1] = static_cast<std::uint8_t>(value >> 8);
    out[2] = static_cast<std::uint8_t>(value >> 16);
    out[3] = static_cast<std::uint8_t>(value >> 24);
}

inline std::uint32_t getLe32(const std::uint8_t* in) {
    return static_cast<std::uint32_t>(in[0]) | static_cast<std::uint32_t>(in[1]) << 8 |
           static_cast<std::uint32_t>(in[2]) << 16 | static_cast<std::uint32_t>(in[3]) << 24;
}

inline void putLeInt32(std::uint8_t* out, std::int32_t value) {
    putLe32(out, static_cast<std::uint32_t>(value));
}

inline std::int32_t getLeInt32(const std::uint8_t* in) {
    return static_cast<std::int32_t>(getLe32(in));
}

inline void putLeDouble(std::uint8_t* out, double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    putLe32(out, static_cast<std::uint32_t>(bits));
    putLe32(out + 4, static_cast<std::uint32_t>(bits >> 32));
}

inline double getLeDouble(const std::uint8_t* in) {
    const std::uint64_t bits =
        static_cast<std::uint64_t>(getLe32(in)) | static_cast<std::uint64_t>(getLe32(in + 4)) << 32;
    return std::bit_cast<double>(bits);
}

inline void putBe16(std::uint8_t* out, std::uint16_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 8);
    out[1] = static_cast<std::uint8_t>(value);
}

inline void putBe32(std::uint8_t* out, std::uint32_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 24);
    out[1] = static_cast<std::uint8_t>(value >> 16);
    out[2] = static_cast<std::uint8_t>(value >> 8);
    out[3] = static_cast<std::uint8_t>(value);
}

inline std::uint16_t getBe16(const std::uint8_t* in) {
    return static_cast<std::uint16_t>(in[0] << 8 | in[1]);
}

inline std::uint32_t getBe32(const std::uint8_t* in) {
    return static_cast<std::uint32_t>(in[0]) << 24 | static_cast<std::uint32_t>(in[1]) << 16 |
           static_cast<std::uint32_t>(in[2]) << 8 | static_cast<std::uint32_t>(in[3]);
}

}  // namespace halvorn

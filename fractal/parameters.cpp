#include "fractal/parameters.h"

#include "model/byte_order.h"

namespace halvorn {

ParameterBytes MandelbrotParameters::toBytes() const {
    ParameterBytes bytes(kByteSize, 0);
    const double fields[] = {viewMinX, viewMinY, viewMaxX, viewMaxY,
                             point1X,  point1Y,  point2X,  point2Y};
    for (std::size_t i = 0; i < 8; ++i) putLeDouble(&bytes[8 * i], fields[i]);
    putLeInt32(&bytes[64], pathKind);
    return bytes;
}

std::optional<MandelbrotParameters> MandelbrotParameters::fromBytes(
    std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kByteSize) return std::nullopt;
    MandelbrotParameters p;
    double* fields[] = {&p.viewMinX, &p.viewMinY, &p.viewMaxX, &p.viewMaxY,
                        &p.point1X,  &p.point1Y,  &p.point2X,  &p.point2Y};
    for (std::size_t i = 0; i < 8; ++i) *fields[i] = getLeDouble(&bytes[8 * i]);
    p.pathKind = getLeInt32(&bytes[64]);
    return p;
}

namespace {

ParameterBytes threeInts(std::int32_t a, std::int32_t b, std::int32_t c) {
    ParameterBytes bytes(12, 0);
    putLeInt32(&bytes[0], a);
    putLeInt32(&bytes[4], b);
    putLeInt32(&bytes[8], c);
    return bytes;
}

}  // namespace

ParameterBytes MorseThueParameters::toBytes() const {
    return threeInts(base, start, step);
}

std::optional<MorseThueParameters> MorseThueParameters::fromBytes(
    std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kByteSize) return std::nullopt;
    return MorseThueParameters{getLeInt32(&bytes[0]), getLeInt32(&bytes[4]), getLeInt32(&bytes[8])};
}

ParameterBytes NoiseParameters::toBytes() const {
    return threeInts(seed, correlation, range);
}

std::optional<NoiseParameters> NoiseParameters::fromBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kByteSize) return std::nullopt;
    return NoiseParameters{getLeInt32(&bytes[0]), getLeInt32(&bytes[kNoiseCorrelationOffset]),
                           getLeInt32(&bytes[8])};
}

}  // namespace halvorn

#include "model/random.h"

namespace halvorn {

RandomSource::RandomSource(std::int32_t seed) : state_(static_cast<std::uint32_t>(seed)) {
    next();
}

RandomSource RandomSource::fromTime(std::time_t now) {
    RandomSource source(static_cast<std::int32_t>(now));
    source.next();
    return source;
}

double RandomSource::next() {
    state_ = state_ * 214013u + 2531011u;
    const std::uint32_t r = (state_ >> 16) & 0x7FFFu;
    return static_cast<double>(r) / 32768.0;
}

std::unique_ptr<RandomDraws> drawsFromTheClock() {
    return std::make_unique<RandomSource>(RandomSource::fromTime());
}

}  // namespace halvorn

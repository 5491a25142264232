#include "engine/duration_split.h"

#include <algorithm>
#include <bit>

namespace halvorn {
namespace {

// Plain values count in 128th notes, type index 1.
constexpr std::int64_t kPlainGrain = 3;
constexpr std::int32_t kPlainFirstType = 1;

// The binary digits of `count` as values of `grain` units each, highest
// first: digit k is type firstType + k, and digits k and k - 1 together a
// dotted type firstType + k.
std::vector<WrittenValue> binaryValues(std::int64_t count, std::int64_t grain,
                                       std::int32_t firstType, bool triplet) {
    std::vector<WrittenValue> values;
    auto rest = static_cast<std::uint64_t>(count);
    while (rest != 0) {
        const int k = std::bit_width(rest) - 1;
        const std::uint64_t bit = std::uint64_t{1} << k;
        WrittenValue value{.type = firstType + k, .triplet = triplet};
        std::uint64_t taken = bit;
        if (k > 0 && (rest & (bit >> 1)) != 0) {
            value.dotted = true;
            taken |= bit >> 1;
        }
        value.units = static_cast<std::int64_t>(taken) * grain;
        values.push_back(value);
        rest &= ~taken;
    }
    return values;
}

}  // namespace

std::vector<WrittenValue> splitDuration(std::int64_t units) {
    if (units <= 0) return {};
    if (units % kPlainGrain == 0)
        return binaryValues(units / kPlainGrain, kPlainGrain, kPlainFirstType, false);
    // A triplet value written as 2^k units takes 2^k units: a written 256th
    // (1.5 units) played at 2/3 is one unit.
    return binaryValues(units, 1, 0, true);
}

std::vector<TimeSpan> splitAtMultiples(std::int64_t start, std::int64_t end, std::int64_t period) {
    std::vector<TimeSpan> spans;
    if (period <= 0 || end <= start) return spans;
    while (start < end) {
        const std::int64_t below = start >= 0 ? start / period : (start - period + 1) / period;
        const std::int64_t next = std::min(end, (below + 1) * period);
        spans.push_back({start, next});
        start = next;
    }
    return spans;
}

}  // namespace halvorn

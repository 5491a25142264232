#include "engine/duration_split.h"

#include <algorithm>
#include <bit>

namespace halvorn {
namespace {

// Plain values count in 128th notes, type index 1.
constexpr std::int64_t kPlainGrain = 3;
constexpr std::int32_t kPlainFirstType = 1;

// Appends the binary digits of `count` as values of `grain` units each,
// highest first: digit k is type firstType + k, and digits k and k - 1
// together a dotted type firstType + k.
void appendBinaryValues(std::int64_t count, std::int64_t grain, std::int32_t firstType,
                        bool triplet, std::vector<WrittenValue>& values) {
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
}

// The value alignedValues writes at `position`, or one of no length when
// not even the shortest value fits (a length off the plain grid).
WrittenValue alignedValueAt(std::int64_t position, std::int64_t end, std::int32_t largestType,
                            bool triplet, Figures figures) {
    const std::int32_t smallest = triplet ? 0 : kPlainFirstType;
    const bool notes = figures == Figures::kNotes;
    // No value longer than what is left can fit: start at the longest that does.
    const auto left = static_cast<std::uint64_t>(end - position);
    const std::int32_t longest = triplet ? std::bit_width(left) - 1
                                         : std::bit_width(left / kPlainGrain) - 1 + kPlainFirstType;
    for (std::int32_t type = std::min(largestType, longest); type >= smallest; --type) {
        const std::int64_t length = typeUnits(type, triplet);
        // A dot adds the next shorter value: half of this one.
        const std::int64_t dotted = length + length / 2;
        if (length % 2 == 0 && position + dotted <= end &&
            (position % (2 * length) == 0 || (notes && (position + dotted) % (2 * length) == 0)))
            return {.type = type, .dotted = true, .triplet = triplet, .units = dotted};
        if (position + length <= end &&
            (position % length == 0 ||
             (notes && length % 2 == 0 && position % (2 * length) == length / 2)))
            return {.type = type, .dotted = false, .triplet = triplet, .units = length};
    }
    return {};
}

template <typename Visit>
void forEachAlignedValue(std::int64_t start, std::int64_t end, std::int32_t largestType,
                         bool triplet, Figures figures, Visit visit) {
    std::int64_t position = start;
    while (position < end) {
        const WrittenValue value = alignedValueAt(position, end, largestType, triplet, figures);
        if (value.units == 0) {
            // Only a length the mode cannot write comes here: write what is
            // left as it comes, so the sum stays exact.
            for (const WrittenValue& rest : splitDuration(end - position)) visit(rest);
            return;
        }
        visit(value);
        position += value.units;
    }
}

}  // namespace

std::int64_t typeUnits(std::int32_t type, bool triplet) {
    if (type < 0) return 0;
    if (triplet) return std::int64_t{1} << type;
    return type < kPlainFirstType ? 0 : kPlainGrain << (type - kPlainFirstType);
}

std::vector<WrittenValue> splitDuration(std::int64_t units) {
    return splitDuration(units, units % kPlainGrain != 0);
}

std::vector<WrittenValue> splitDuration(std::int64_t units, bool triplet) {
    std::vector<WrittenValue> values;
    appendSplitDuration(units, triplet, values);
    return values;
}

void appendSplitDuration(std::int64_t units, bool triplet, std::vector<WrittenValue>& values) {
    if (units <= 0) return;
    if (!triplet && units % kPlainGrain == 0)
        appendBinaryValues(units / kPlainGrain, kPlainGrain, kPlainFirstType, false, values);
    else
        // A triplet value written as 2^k units takes 2^k units: a written
        // 256th (1.5 units) played at 2/3 is one unit.
        appendBinaryValues(units, 1, 0, true, values);
}

void appendAlignedValues(std::int64_t start, std::int64_t end, std::int32_t largestType,
                         bool triplet, Figures figures, std::vector<WrittenValue>& values) {
    forEachAlignedValue(start, end, largestType, triplet, figures,
                        [&values](const WrittenValue& value) { values.push_back(value); });
}

std::size_t alignedValueCount(std::int64_t start, std::int64_t end, std::int32_t largestType,
                              bool triplet, Figures figures) {
    std::size_t count = 0;
    forEachAlignedValue(start, end, largestType, triplet, figures,
                        [&count](const WrittenValue&) { ++count; });
    return count;
}

}  // namespace halvorn

#include "model/scale.h"

namespace halvorn {
namespace {

constexpr std::int32_t kChromatic[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr std::int32_t kMajor[] = {0, 2, 4, 5, 7, 9, 11};
constexpr std::int32_t kMinor[] = {0, 2, 3, 5, 7, 8, 10};
constexpr std::int32_t kPentatonic[] = {0, 2, 5, 7, 9};

void makeEmpty(Scale& scale) {
    scale.intervals.clear();
    scale.intervals.shrink_to_fit();
    scale.intervalCount = 0;
}

// Shared by scaleSet and scaleSetIntervals; the key is left to the caller.
void replaceTable(Scale& scale, std::span<const std::int32_t> table) {
    if (table.empty() || table.size() > 12) {
        makeEmpty(scale);
        return;
    }
    scale.intervals.assign(table.begin(), table.end());
    scale.intervalCount = static_cast<std::int32_t>(table.size());
}

}  // namespace

std::span<const std::int32_t> scaleTypeIntervals(std::int32_t scaleType) {
    switch (scaleType) {
        case kScaleChromatic:
            return kChromatic;
        case kScaleMajor:
            return kMajor;
        case kScaleMinor:
            return kMinor;
        case kScalePentatonic:
            return kPentatonic;
        default:
            return {};
    }
}

void scaleSet(Scale& scale, std::span<const std::int32_t> table, std::int32_t key) {
    replaceTable(scale, table);
    scale.key = scale.intervalCount > 0 ? key : 0;
}

void scaleSetIntervals(Scale& scale, std::span<const std::int32_t> table) {
    replaceTable(scale, table);
}

void scaleSetKey(Scale& scale, std::int32_t key) {
    scale.key = key;
}

std::int32_t scaleDegreeToPitch(const Scale& scale, std::int32_t degree) {
    const std::int64_t n = scale.intervalCount;
    if (n <= 0 || static_cast<std::int64_t>(scale.intervals.size()) < n) return scale.key;
    const std::int64_t d = degree;
    std::int64_t octave = d / n;
    if (d % n != 0 && d < 0) --octave;  // floor, not truncation
    const std::int64_t index = d - octave * n;
    return static_cast<std::int32_t>(octave * 12 + scale.intervals[index] + scale.key);
}

}  // namespace halvorn

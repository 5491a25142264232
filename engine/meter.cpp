#include "engine/meter.h"

#include <algorithm>

namespace halvorn {
namespace {

constexpr std::int64_t kBeat = kUnitsPerBeat;
// From four beats on, the pairs of a measure must show.
constexpr std::int32_t kPairedFrom = 4;

std::int64_t nextMultiple(std::int64_t position, std::int64_t period) {
    return (position / period + 1) * period;
}

// Where the piece of a note that starts at `position` must end: at the next
// beat when it starts off one and crosses it, at the next pair when it
// crosses one, at `end` otherwise.
std::int64_t tiePoint(const Meter& meter, std::int64_t position, std::int64_t end) {
    if (position % kBeat != 0) {
        const std::int64_t beat = nextMultiple(position, kBeat);
        if (end > beat && !isAcceptedSyncopation(meter, position, end)) return beat;
        return end;
    }
    if (meter.beats >= kPairedFrom && position != 0) {
        const std::int64_t pair = nextMultiple(position, kPairUnits);
        if (pair < end && pair < meter.measureUnits()) return pair;
    }
    return end;
}

template <typename Visit>
void forEachNoteValue(const Meter& meter, std::int64_t start, std::int64_t end, Visit visit) {
    std::int64_t position = start;
    while (position < end) {
        const std::int64_t pieceEnd = tiePoint(meter, position, end);
        if (position % kBeat == 0) {
            for (const WrittenValue& value : splitDuration(pieceEnd - position, false))
                visit(value);
        } else {
            for (const WrittenValue& value :
                 alignedValues(position, pieceEnd, kQuarterType, false, Figures::kNotes))
                visit(value);
        }
        position = pieceEnd;
    }
}

template <typename Visit>
void forEachRestValue(const Meter& meter, std::int64_t start, std::int64_t end, Visit visit) {
    std::int64_t position = start;
    while (position < end) {
        if (position % kBeat == 0 && position + kBeat <= end) {
            const bool pair = meter.pairAt(position) && position + kPairUnits <= end;
            const std::int32_t type = pair ? kHalfType : kQuarterType;
            const WrittenValue value{.type = type, .units = typeUnits(type, false)};
            visit(value);
            position += value.units;
            continue;
        }
        const std::int64_t pieceEnd = std::min(end, nextMultiple(position, kBeat));
        for (const WrittenValue& value :
             alignedValues(position, pieceEnd, kEighthType, false, Figures::kRests))
            visit(value);
        position = pieceEnd;
    }
}

}  // namespace

bool isAcceptedSyncopation(const Meter& meter, std::int64_t start, std::int64_t end) {
    const std::int64_t pair = start - start % kPairUnits;
    return start - pair == kBeat / 2 && end - start == kBeat && meter.pairAt(pair);
}

std::vector<WrittenValue> plainNoteValues(const Meter& meter, std::int64_t start,
                                          std::int64_t end) {
    std::vector<WrittenValue> values;
    forEachNoteValue(meter, start, end,
                     [&values](const WrittenValue& value) { values.push_back(value); });
    return values;
}

std::vector<WrittenValue> plainRestValues(const Meter& meter, std::int64_t start,
                                          std::int64_t end) {
    std::vector<WrittenValue> values;
    forEachRestValue(meter, start, end,
                     [&values](const WrittenValue& value) { values.push_back(value); });
    return values;
}

std::size_t plainValueCount(const Meter& meter, std::int64_t start, std::int64_t end, bool rest) {
    std::size_t count = 0;
    const auto counting = [&count](const WrittenValue&) { ++count; };
    if (rest)
        forEachRestValue(meter, start, end, counting);
    else
        forEachNoteValue(meter, start, end, counting);
    return count;
}

}  // namespace halvorn

#include "engine/meter.h"

#include <algorithm>
#include <bit>

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

// Calls note(start, end, fromBeat) for each piece of a note: pieces that
// start on a beat are written longest value first, others aligned.
template <typename Piece>
void forEachNotePiece(const Meter& meter, std::int64_t start, std::int64_t end, Piece piece) {
    std::int64_t position = start;
    while (position < end) {
        const std::int64_t pieceEnd = tiePoint(meter, position, end);
        piece(position, pieceEnd, position % kBeat == 0);
        position = pieceEnd;
    }
}

// Calls value(type) for each beat-long or pair-long rest, aligned(from, to)
// for each stretch within a beat.
template <typename Value, typename Aligned>
void forEachRestPiece(const Meter& meter, std::int64_t start, std::int64_t end, Value value,
                      Aligned aligned) {
    std::int64_t position = start;
    while (position < end) {
        if (position % kBeat == 0 && position + kBeat <= end) {
            const bool pair = meter.pairAt(position) && position + kPairUnits <= end;
            const std::int32_t type = pair ? kHalfType : kQuarterType;
            value(type);
            position += typeUnits(type, false);
            continue;
        }
        const std::int64_t pieceEnd = std::min(end, nextMultiple(position, kBeat));
        aligned(position, pieceEnd);
        position = pieceEnd;
    }
}

}  // namespace

bool isAcceptedSyncopation(const Meter& meter, std::int64_t start, std::int64_t end) {
    const std::int64_t pair = start - start % kPairUnits;
    return start - pair == kBeat / 2 && end - start == kBeat && meter.pairAt(pair);
}

void appendPlainNoteValues(const Meter& meter, std::int64_t start, std::int64_t end,
                           std::vector<WrittenValue>& values) {
    forEachNotePiece(meter, start, end, [&](std::int64_t from, std::int64_t to, bool onBeat) {
        if (onBeat)
            appendSplitDuration(to - from, false, values);
        else
            appendAlignedValues(from, to, kQuarterType, false, Figures::kNotes, values);
    });
}

void appendPlainRestValues(const Meter& meter, std::int64_t start, std::int64_t end,
                           std::vector<WrittenValue>& values) {
    forEachRestPiece(
        meter, start, end,
        [&](std::int32_t type) {
            values.push_back({.type = type, .units = typeUnits(type, false)});
        },
        [&](std::int64_t from, std::int64_t to) {
            appendAlignedValues(from, to, kEighthType, false, Figures::kRests, values);
        });
}

std::size_t plainValueCount(const Meter& meter, std::int64_t start, std::int64_t end, bool rest) {
    std::size_t count = 0;
    if (rest) {
        forEachRestPiece(
            meter, start, end, [&](std::int32_t) { ++count; },
            [&](std::int64_t from, std::int64_t to) {
                count += alignedValueCount(from, to, kEighthType, false, Figures::kRests);
            });
        return count;
    }
    forEachNotePiece(meter, start, end, [&](std::int64_t from, std::int64_t to, bool onBeat) {
        // Longest first, a value and the next shorter one dotted: one value
        // per run of binary digits, two digits to a dotted one.
        if (onBeat) {
            auto bits = static_cast<std::uint64_t>((to - from) / 3);
            while (bits != 0) {
                const int k = std::bit_width(bits) - 1;
                std::uint64_t taken = std::uint64_t{1} << k;
                if (k > 0 && (bits & (taken >> 1)) != 0) taken |= taken >> 1;
                bits &= ~taken;
                ++count;
            }
        } else {
            count += alignedValueCount(from, to, kQuarterType, false, Figures::kNotes);
        }
    });
    return count;
}

}  // namespace halvorn

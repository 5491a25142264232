#include "engine/tuplet_windows.h"

#include <algorithm>
#include <bit>

namespace halvorn {
namespace {

constexpr std::int64_t kPlainGrain = 3;  // a 128th note
constexpr std::int64_t kSmallest = 3;    // three 256th triplets in a 128th
constexpr std::size_t kBracketCost = 1;  // a bracket reads like one more value

bool isRegularValue(std::int64_t units) {
    return units % kPlainGrain == 0 && std::has_single_bit(static_cast<std::uint64_t>(units / 3));
}

struct Span {
    std::int64_t start = 0;
    std::int64_t end = 0;
};

struct Choice {
    std::vector<TupletWindow> windows;
    std::size_t cost = 0;
};

class WindowChooser {
  public:
    WindowChooser(const Meter& meter, const std::vector<LaneSpan>& spans)
        : meter_(meter), spans_(spans) {}

    Choice choose(std::int64_t start, std::int64_t end) const {
        if (!hasOffGridEdge(start, end))
            return {.windows = {{start, end, false}}, .cost = cost(start, end, false)};
        Choice split;
        for (const Span& child : childrenOf(start, end)) {
            Choice part = choose(child.start, child.end);
            split.cost += part.cost;
            split.windows.insert(split.windows.end(), part.windows.begin(), part.windows.end());
        }
        if (isRegularValue(end - start) && readsAsOneBracket(start, end)) {
            const std::size_t whole = cost(start, end, true);
            if (split.windows.empty() || whole <= split.cost)
                return {.windows = {{start, end, true}}, .cost = whole};
        }
        return split;
    }

  private:
    // The first span that ends after `position`.
    std::vector<LaneSpan>::const_iterator spanAt(std::int64_t position) const {
        return std::upper_bound(spans_.begin(), spans_.end(), position,
                                [](std::int64_t p, const LaneSpan& span) { return p < span.end; });
    }

    bool hasOffGridEdge(std::int64_t start, std::int64_t end) const {
        for (auto span = spanAt(start); span != spans_.end() && span->end < end; ++span)
            if (span->end % kPlainGrain != 0) return true;
        return false;
    }

    // A bracket longer than a beat holds no value shorter than its third
    // (triplet quarters over a pair, not sixteenths): shorter ones read by
    // the beat.
    bool readsAsOneBracket(std::int64_t start, std::int64_t end) const {
        if (end - start <= kUnitsPerBeat) return true;
        for (auto span = spanAt(start); span != spans_.end() && span->start < end; ++span)
            if (3 * (std::min(span->end, end) - std::max(span->start, start)) < end - start)
                return false;
        return true;
    }

    // The values the spans take inside [start, end) written plain or as one
    // bracket.
    std::size_t cost(std::int64_t start, std::int64_t end, bool triplet) const {
        std::size_t values = triplet ? kBracketCost : 0;
        const std::int32_t largest = triplet ? largestTripletType(end - start) : 0;
        for (auto span = spanAt(start); span != spans_.end() && span->start < end; ++span) {
            const std::int64_t from = std::max(span->start, start);
            const std::int64_t to = std::min(span->end, end);
            if (triplet)
                values += alignedValueCount(from - start, to - start, largest, true,
                                            span->rest ? Figures::kRests : Figures::kNotes);
            else
                values += plainValueCount(meter_, from, to, span->rest);
        }
        return values;
    }

    // The measure is made of its pairs (and a last lone beat), a pair of
    // its two beats, a beat or less of its two halves.
    std::vector<Span> childrenOf(std::int64_t start, std::int64_t end) const {
        const std::int64_t size = end - start;
        std::vector<Span> children;
        if (size > kPairUnits) {
            for (std::int64_t p = start; p + kPairUnits <= end; p += kPairUnits)
                children.push_back({p, p + kPairUnits});
            if (size % kPairUnits != 0) children.push_back({end - kUnitsPerBeat, end});
        } else if (size > kSmallest && size % 2 == 0) {
            children.push_back({start, start + size / 2});
            children.push_back({start + size / 2, end});
        }
        return children;
    }

    const Meter& meter_;
    const std::vector<LaneSpan>& spans_;
};

}  // namespace

std::int32_t largestTripletType(std::int64_t units) {
    return std::bit_width(static_cast<std::uint64_t>(2 * units / 3)) - 1;
}

std::vector<TupletWindow> tupletWindows(const Meter& meter, const std::vector<LaneSpan>& spans) {
    const Choice choice = WindowChooser(meter, spans).choose(0, meter.measureUnits());
    // Neighbouring plain stretches are one.
    std::vector<TupletWindow> windows;
    for (const TupletWindow& window : choice.windows) {
        if (!windows.empty() && !window.triplet && !windows.back().triplet)
            windows.back().end = window.end;
        else
            windows.push_back(window);
    }
    return windows;
}

}  // namespace halvorn

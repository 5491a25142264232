#include "engine/tuplet_windows.h"

#include <algorithm>
#include <array>
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

// A measure has at most four pairs and a lone beat (9/4).
struct Children {
    std::array<Span, 5> spans{};
    std::size_t count = 0;
};

class WindowChooser {
  public:
    WindowChooser(const Meter& meter, const std::vector<LaneSpan>& spans)
        : meter_(meter), spans_(spans) {}

    using SpanIt = std::vector<LaneSpan>::const_iterator;

    // Appends the windows chosen for [start, end) to `out`; their cost.
    // `first` is the first span that ends after `start`.
    std::size_t choose(std::int64_t start, std::int64_t end, SpanIt first,
                       std::vector<TupletWindow>& out) const {
        if (!hasOffGridEdge(first, end)) {
            out.push_back({start, end, false});
            return cost(start, end, first, false);
        }
        const std::size_t before = out.size();
        std::size_t split = 0;
        const Children children = childrenOf(start, end);
        SpanIt span = first;
        for (std::size_t c = 0; c < children.count; ++c) {
            while (span->end <= children.spans[c].start) ++span;
            split += choose(children.spans[c].start, children.spans[c].end, span, out);
        }
        if (isRegularValue(end - start) && readsAsOneBracket(start, end, first)) {
            const std::size_t whole = cost(start, end, first, true);
            if (children.count == 0 || whole <= split) {
                out.resize(before);
                out.push_back({start, end, true});
                return whole;
            }
        }
        return split;
    }

  private:
    bool hasOffGridEdge(SpanIt span, std::int64_t end) const {
        for (; span != spans_.end() && span->end < end; ++span)
            if (span->end % kPlainGrain != 0) return true;
        return false;
    }

    // A bracket longer than a beat holds no value shorter than its third
    // (triplet quarters over a pair, not sixteenths): shorter ones read by
    // the beat.
    bool readsAsOneBracket(std::int64_t start, std::int64_t end, SpanIt span) const {
        if (end - start <= kUnitsPerBeat) return true;
        for (; span != spans_.end() && span->start < end; ++span)
            if (3 * (std::min(span->end, end) - std::max(span->start, start)) < end - start)
                return false;
        return true;
    }

    // The values the spans take inside [start, end) written plain or as one
    // bracket.
    std::size_t cost(std::int64_t start, std::int64_t end, SpanIt span, bool triplet) const {
        std::size_t values = triplet ? kBracketCost : 0;
        const std::int32_t largest = triplet ? largestTripletType(end - start) : 0;
        for (; span != spans_.end() && span->start < end; ++span) {
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
    Children childrenOf(std::int64_t start, std::int64_t end) const {
        const std::int64_t size = end - start;
        Children children;
        if (size > kPairUnits) {
            for (std::int64_t p = start; p + kPairUnits <= end; p += kPairUnits)
                children.spans[children.count++] = {p, p + kPairUnits};
            if (size % kPairUnits != 0)
                children.spans[children.count++] = {end - kUnitsPerBeat, end};
        } else if (size > kSmallest && size % 2 == 0) {
            children.spans[children.count++] = {start, start + size / 2};
            children.spans[children.count++] = {start + size / 2, end};
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
    std::vector<TupletWindow> chosen;
    if (spans.empty()) return {{0, meter.measureUnits(), false}};
    WindowChooser(meter, spans).choose(0, meter.measureUnits(), spans.begin(), chosen);
    // Neighbouring plain stretches are one.
    std::vector<TupletWindow> windows;
    for (const TupletWindow& window : chosen) {
        if (!windows.empty() && !window.triplet && !windows.back().triplet)
            windows.back().end = window.end;
        else
            windows.push_back(window);
    }
    return windows;
}

}  // namespace halvorn

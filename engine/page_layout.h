#pragma once
// The page a large score is laid out on. Up to eight parts, the reader's own
// layout serves; beyond that a system of every staff must still fit the
// page, on A4 as on Letter: the staff size shrinks with the number of
// staves, and a new system starts every few measures, as many as the
// densest measure leaves room for across the page.

#include <cstdint>

namespace halvorn {

inline constexpr std::int32_t kPartsOnOwnLayout = 8;

struct PageLayout {
    double staffMillimeters = 7.0;  // the height of a staff (40 tenths)
    std::int32_t pageWidth = 0;     // in tenths, A4
    std::int32_t pageHeight = 0;
    std::int32_t margin = 0;          // on every side, in tenths
    std::int32_t staffDistance = 0;   // between the staves of a system
    std::int32_t systemDistance = 0;  // between systems
    std::int32_t measuresPerSystem = 0;
};

// Whether a score of `parts` parts needs a layout of its own.
bool needsPageLayout(std::int32_t parts);

// The layout of a score of `staves` staves whose densest measure holds
// `densestMeasure` notes.
PageLayout pageLayoutFor(std::int32_t staves, std::int32_t densestMeasure);

}  // namespace halvorn

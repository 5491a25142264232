#include "engine/page_layout.h"

#include <algorithm>
#include <cmath>

namespace halvorn {
namespace {

constexpr double kTenthsPerStaff = 40.0;
// A4 is the wider page, Letter the shorter: a system sized for both.
constexpr double kPageWidthMm = 210.0;
constexpr double kPageHeightMm = 297.0;
constexpr double kUsableWidthMm = 210.0 - 2 * 12.0 - 20.0;   // margins, names
constexpr double kUsableHeightMm = 279.4 - 2 * 12.0 - 30.0;  // Letter, margins, title
constexpr double kMarginMm = 12.0;
// A staff and the space below it, in tenths.
constexpr double kStaffDistanceTenths = 50.0;
constexpr double kSystemDistanceTenths = 80.0;
constexpr double kLargestStaffMm = 7.0;
constexpr double kSmallestStaffMm = 3.0;
// The room a written note needs across the page, in staff heights.
constexpr double kStaffHeightsPerNote = 0.6;
constexpr std::int32_t kMostMeasuresPerSystem = 6;

std::int32_t tenths(double millimeters, double staffMillimeters) {
    return static_cast<std::int32_t>(std::lround(millimeters * kTenthsPerStaff / staffMillimeters));
}

}  // namespace

bool needsPageLayout(std::int32_t parts) {
    return parts > kPartsOnOwnLayout;
}

PageLayout pageLayoutFor(std::int32_t staves, std::int32_t densestMeasure) {
    const double systemTenths = std::max(staves, 1) * (kTenthsPerStaff + kStaffDistanceTenths);
    const double staff = std::clamp(kUsableHeightMm * kTenthsPerStaff / systemTenths,
                                    kSmallestStaffMm, kLargestStaffMm);
    const double measureMm = std::max(densestMeasure, 1) * kStaffHeightsPerNote * staff;
    const auto measures = static_cast<std::int32_t>(kUsableWidthMm / measureMm);
    return {.staffMillimeters = staff,
            .pageWidth = tenths(kPageWidthMm, staff),
            .pageHeight = tenths(kPageHeightMm, staff),
            .margin = tenths(kMarginMm, staff),
            .staffDistance = static_cast<std::int32_t>(kStaffDistanceTenths),
            .systemDistance = static_cast<std::int32_t>(kSystemDistanceTenths),
            .measuresPerSystem = std::clamp(measures, 1, kMostMeasuresPerSystem)};
}

}  // namespace halvorn

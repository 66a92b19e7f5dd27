// How sure a tracking-impact rating is: low, medium or high.
//
// The raw values ("Low", "Medium", "High") are the display texts and the stored
// form (statistics keys "stats_confidence_" + raw value), so they must never
// change. allCases() is in case order, low to high; statistics list them the
// other way round (see StatsTracker::confidenceOrder).
//
//   TrackingImpactConfidence c = TrackingImpactAnalyzer::analyze(result).confidence;
//   std::string key = "stats_confidence_" + std::string(rawValue(c));
#pragma once

#include <array>

#include "ScourletCore/platform/RawValueEnum.h"

namespace scourlet {

enum class TrackingImpactConfidence {
    low,
    medium,
    high,
};

template <>
struct RawValueTable<TrackingImpactConfidence> {
    static constexpr std::string_view name = "impact confidence";
    static constexpr auto cases = std::to_array<RawValueCase<TrackingImpactConfidence>>({
        {TrackingImpactConfidence::low, "Low"},
        {TrackingImpactConfidence::medium, "Medium"},
        {TrackingImpactConfidence::high, "High"},
    });
};

}  // namespace scourlet

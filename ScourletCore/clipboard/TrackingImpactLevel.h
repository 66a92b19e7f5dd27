// How much commercial tracking a clean removed, from negligible to very high.
//
// The raw values ("Negligible" ... "Very High") are the display texts and the
// stored form (statistics keys "stats_impact_" + raw value), so they must never
// change. allCases() runs from the least to the most impact.
//
//   TrackingImpactLevel level = TrackingImpactAnalyzer::analyze(result).impactLevel;
//   std::string key = "stats_impact_" + std::string(rawValue(level));
#pragma once

#include <array>

#include "ScourletCore/platform/RawValueEnum.h"

namespace scourlet {

enum class TrackingImpactLevel {
    negligible,
    low,
    medium,
    high,
    veryHigh,
};

template <>
struct RawValueTable<TrackingImpactLevel> {
    static constexpr std::string_view name = "impact level";
    static constexpr auto cases = std::to_array<RawValueCase<TrackingImpactLevel>>({
        {TrackingImpactLevel::negligible, "Negligible"},
        {TrackingImpactLevel::low, "Low"},
        {TrackingImpactLevel::medium, "Medium"},
        {TrackingImpactLevel::high, "High"},
        {TrackingImpactLevel::veryHigh, "Very High"},
    });
};

}  // namespace scourlet

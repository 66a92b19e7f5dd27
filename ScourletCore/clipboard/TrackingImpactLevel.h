// How much commercial tracking a clean removed, from negligible to very high.
//
// The raw values ("Negligible" ... "Very High") are the display texts and the
// stored form (statistics keys "stats_impact_" + raw value), so they must never
// change.
//
//   TrackingImpactLevel level = TrackingImpactAnalyzer::analyze(result).impactLevel;
//   std::string key = "stats_impact_" + std::string(rawValue(level));
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "ScourletCore/platform/Json.h"

namespace scourlet {

enum class TrackingImpactLevel {
    negligible,
    low,
    medium,
    high,
    veryHigh,
};

// Every level, from the least to the most impact.
inline constexpr std::array<TrackingImpactLevel, 5> trackingImpactLevelAllCases{
    TrackingImpactLevel::negligible, TrackingImpactLevel::low,      TrackingImpactLevel::medium,
    TrackingImpactLevel::high,       TrackingImpactLevel::veryHigh,
};

// "Negligible", "Low", "Medium", "High" or "Very High".
std::string_view rawValue(TrackingImpactLevel level);

// The level whose raw value is exactly `raw` (case and spacing count), or nothing.
std::optional<TrackingImpactLevel> trackingImpactLevelFromRawValue(std::string_view raw);

// Reads a level from its raw value; throws DecodingException for any other JSON value.
template <>
struct JsonValue<TrackingImpactLevel> {
    static TrackingImpactLevel decode(const Json& json, std::string_view context);
};

}  // namespace scourlet

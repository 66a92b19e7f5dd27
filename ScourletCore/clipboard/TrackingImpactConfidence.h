// How sure a tracking-impact rating is: low, medium or high.
//
// The raw values ("Low", "Medium", "High") are the display texts and the stored
// form (statistics keys "stats_confidence_" + raw value), so they must never
// change.
//
//   TrackingImpactConfidence c = TrackingImpactAnalyzer::analyze(result).confidence;
//   std::string key = "stats_confidence_" + std::string(rawValue(c));
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "ScourletCore/platform/Json.h"

namespace scourlet {

enum class TrackingImpactConfidence {
    low,
    medium,
    high,
};

// Every confidence in case order: low, medium, high. (Statistics list them the
// other way round; see StatsTracker::confidenceOrder.)
inline constexpr std::array<TrackingImpactConfidence, 3> trackingImpactConfidenceAllCases{
    TrackingImpactConfidence::low,
    TrackingImpactConfidence::medium,
    TrackingImpactConfidence::high,
};

// "Low", "Medium" or "High".
std::string_view rawValue(TrackingImpactConfidence confidence);

// The confidence whose raw value is exactly `raw` (case counts), or nothing.
std::optional<TrackingImpactConfidence> trackingImpactConfidenceFromRawValue(std::string_view raw);

// Reads a confidence from its raw value; throws DecodingException for any other JSON value.
template <>
struct JsonValue<TrackingImpactConfidence> {
    static TrackingImpactConfidence decode(const Json& json, std::string_view context);
};

}  // namespace scourlet

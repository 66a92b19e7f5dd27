#include "ScourletCore/clipboard/TrackingImpactConfidence.h"

#include <cstddef>
#include <string>

namespace scourlet {

namespace {
// Indexed by the enumerator's value, so the order must follow the declaration.
constexpr std::array<std::string_view, trackingImpactConfidenceAllCases.size()> kRawValues{
    "Low",
    "Medium",
    "High",
};
}  // namespace

std::string_view rawValue(TrackingImpactConfidence confidence) {
    return kRawValues[static_cast<std::size_t>(confidence)];
}

std::optional<TrackingImpactConfidence> trackingImpactConfidenceFromRawValue(std::string_view raw) {
    for (TrackingImpactConfidence confidence : trackingImpactConfidenceAllCases) {
        if (rawValue(confidence) == raw) {
            return confidence;
        }
    }
    return std::nullopt;
}

TrackingImpactConfidence JsonValue<TrackingImpactConfidence>::decode(const Json& json,
                                                                     std::string_view context) {
    if (!json.is_string()) {
        throwDecoding(context, "expected an impact confidence");
    }
    const auto confidence =
        trackingImpactConfidenceFromRawValue(json.get_ref<const std::string&>());
    if (!confidence) {
        throwDecoding(context, "unknown impact confidence \"" + json.get<std::string>() + "\"");
    }
    return *confidence;
}

}  // namespace scourlet

#include "ScourletCore/clipboard/TrackingImpactLevel.h"

#include <cstddef>
#include <string>

namespace scourlet {

namespace {
// Indexed by the enumerator's value, so the order must follow the declaration.
constexpr std::array<std::string_view, trackingImpactLevelAllCases.size()> kRawValues{
    "Negligible", "Low", "Medium", "High", "Very High",
};
}  // namespace

std::string_view rawValue(TrackingImpactLevel level) {
    return kRawValues[static_cast<std::size_t>(level)];
}

std::optional<TrackingImpactLevel> trackingImpactLevelFromRawValue(std::string_view raw) {
    for (TrackingImpactLevel level : trackingImpactLevelAllCases) {
        if (rawValue(level) == raw) {
            return level;
        }
    }
    return std::nullopt;
}

TrackingImpactLevel JsonValue<TrackingImpactLevel>::decode(const Json& json,
                                                           std::string_view context) {
    if (!json.is_string()) {
        throwDecoding(context, "expected an impact level");
    }
    const auto level = trackingImpactLevelFromRawValue(json.get_ref<const std::string&>());
    if (!level) {
        throwDecoding(context, "unknown impact level \"" + json.get<std::string>() + "\"");
    }
    return *level;
}

}  // namespace scourlet

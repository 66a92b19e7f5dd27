// The commercial purposes that tracking parameters serve, each with a weight
// (how much it adds to an impact score), a default confidence and one sentence
// for the user. Every rule category maps to one of them.
//
//   TrackingCommercialCategory c = commercialCategory(RuleCategoryType::ecommerce);
//   rawValue(c);      // "Direct commercial attribution"
//   weight(c);        // 5
//
// The raw values are display texts and must never change.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "ScourletCore/clipboard/TrackingImpactConfidence.h"
#include "ScourletCore/platform/Json.h"
#include "ScourletCore/rules/RuleCategoryType.h"

namespace scourlet {

enum class TrackingCommercialCategory {
    directCommercialAttribution,
    adPlatformAttribution,
    campaignAnalytics,
    behavioralCorrelation,
    redirectTracking,
};

// Every category in case order.
inline constexpr std::array<TrackingCommercialCategory, 5> trackingCommercialCategoryAllCases{
    TrackingCommercialCategory::directCommercialAttribution,
    TrackingCommercialCategory::adPlatformAttribution,
    TrackingCommercialCategory::campaignAnalytics,
    TrackingCommercialCategory::behavioralCorrelation,
    TrackingCommercialCategory::redirectTracking,
};

// The display name, e.g. "Ad and social attribution".
std::string_view rawValue(TrackingCommercialCategory category);

// The identifier: the same text as the raw value.
inline std::string_view id(TrackingCommercialCategory category) {
    return rawValue(category);
}

// What the category adds to an impact score: 2 to 5.
std::int64_t weight(TrackingCommercialCategory category);

// The confidence of a rating that rests on this category.
TrackingImpactConfidence defaultConfidence(TrackingCommercialCategory category);

// One sentence on what such tracking does.
std::string_view explanation(TrackingCommercialCategory category);

// The category whose raw value is exactly `raw`, or nothing.
std::optional<TrackingCommercialCategory> trackingCommercialCategoryFromRawValue(
    std::string_view raw);

// The commercial purpose behind the rules of a rule category: referral
// marketing and e-commerce both serve direct commercial attribution, social
// media and advertising ad-platform attribution, and so on.
TrackingCommercialCategory commercialCategory(RuleCategoryType type);

// Reads a category from its raw value; throws DecodingException for any other JSON value.
template <>
struct JsonValue<TrackingCommercialCategory> {
    static TrackingCommercialCategory decode(const Json& json, std::string_view context);
};

}  // namespace scourlet

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
#include <string_view>

#include "ScourletCore/clipboard/TrackingImpactConfidence.h"
#include "ScourletCore/platform/RawValueEnum.h"
#include "ScourletCore/rules/RuleCategoryType.h"

namespace scourlet {

enum class TrackingCommercialCategory {
    directCommercialAttribution,
    adPlatformAttribution,
    campaignAnalytics,
    behavioralCorrelation,
    redirectTracking,
};

template <>
struct RawValueTable<TrackingCommercialCategory> {
    static constexpr std::string_view name = "commercial tracking category";
    static constexpr auto cases = std::to_array<RawValueCase<TrackingCommercialCategory>>({
        {TrackingCommercialCategory::directCommercialAttribution, "Direct commercial attribution"},
        {TrackingCommercialCategory::adPlatformAttribution, "Ad and social attribution"},
        {TrackingCommercialCategory::campaignAnalytics, "Campaign analytics"},
        {TrackingCommercialCategory::behavioralCorrelation, "Behavioral correlation"},
        {TrackingCommercialCategory::redirectTracking, "Redirect tracking"},
    });
};

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

// The commercial purpose behind the rules of a rule category: referral
// marketing and e-commerce both serve direct commercial attribution, social
// media and advertising ad-platform attribution, and so on.
TrackingCommercialCategory commercialCategory(RuleCategoryType type);

}  // namespace scourlet

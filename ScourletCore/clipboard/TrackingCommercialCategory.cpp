#include "ScourletCore/clipboard/TrackingCommercialCategory.h"

#include <cstddef>
#include <string>

namespace scourlet {

namespace {

struct CategoryFacts {
    std::string_view rawValue;
    std::int64_t weight;
    TrackingImpactConfidence confidence;
    std::string_view explanation;
};

// Indexed by the enumerator's value, so the order must follow the declaration.
constexpr std::array<CategoryFacts, trackingCommercialCategoryAllCases.size()> kFacts{{
    {"Direct commercial attribution", 5, TrackingImpactConfidence::high,
     "Helps a merchant, affiliate, or partner claim credit for your click or purchase."},
    {"Ad and social attribution", 4, TrackingImpactConfidence::high,
     "Helps ad and social platforms connect a click to later behavior or conversions."},
    {"Campaign analytics", 2, TrackingImpactConfidence::high,
     "Helps marketers measure which campaign, source, or creative drove the click."},
    {"Behavioral correlation", 2, TrackingImpactConfidence::medium,
     "Helps companies connect this click to a broader profile across emails, campaigns, or "
     "sessions."},
    {"Redirect tracking", 3, TrackingImpactConfidence::medium,
     "Routes the click through tracking infrastructure before reaching the destination."},
}};

const CategoryFacts& factsOf(TrackingCommercialCategory category) {
    return kFacts[static_cast<std::size_t>(category)];
}

}  // namespace

std::string_view rawValue(TrackingCommercialCategory category) {
    return factsOf(category).rawValue;
}

std::int64_t weight(TrackingCommercialCategory category) {
    return factsOf(category).weight;
}

TrackingImpactConfidence defaultConfidence(TrackingCommercialCategory category) {
    return factsOf(category).confidence;
}

std::string_view explanation(TrackingCommercialCategory category) {
    return factsOf(category).explanation;
}

std::optional<TrackingCommercialCategory> trackingCommercialCategoryFromRawValue(
    std::string_view raw) {
    for (TrackingCommercialCategory category : trackingCommercialCategoryAllCases) {
        if (rawValue(category) == raw) {
            return category;
        }
    }
    return std::nullopt;
}

TrackingCommercialCategory commercialCategory(RuleCategoryType type) {
    switch (type) {
        case RuleCategoryType::analytics:
            return TrackingCommercialCategory::campaignAnalytics;
        case RuleCategoryType::socialMedia:
        case RuleCategoryType::advertising:
            return TrackingCommercialCategory::adPlatformAttribution;
        case RuleCategoryType::referralMarketing:
        case RuleCategoryType::ecommerce:
            return TrackingCommercialCategory::directCommercialAttribution;
        case RuleCategoryType::redirectUnwrapping:
            return TrackingCommercialCategory::redirectTracking;
        case RuleCategoryType::emailMarketing:
        case RuleCategoryType::custom:
            return TrackingCommercialCategory::behavioralCorrelation;
    }
    return TrackingCommercialCategory::behavioralCorrelation;
}

TrackingCommercialCategory JsonValue<TrackingCommercialCategory>::decode(const Json& json,
                                                                         std::string_view context) {
    if (!json.is_string()) {
        throwDecoding(context, "expected a commercial tracking category");
    }
    const auto category =
        trackingCommercialCategoryFromRawValue(json.get_ref<const std::string&>());
    if (!category) {
        throwDecoding(context,
                      "unknown commercial tracking category \"" + json.get<std::string>() + "\"");
    }
    return *category;
}

}  // namespace scourlet

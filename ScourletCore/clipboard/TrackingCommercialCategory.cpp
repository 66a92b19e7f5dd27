#include "ScourletCore/clipboard/TrackingCommercialCategory.h"

#include <cstddef>

namespace scourlet {

namespace {

struct CategoryFacts {
    std::int64_t weight;
    TrackingImpactConfidence confidence;
    std::string_view explanation;
};

// Indexed by the enumerator's value, so the order must follow the declaration.
constexpr std::array<CategoryFacts, allCases<TrackingCommercialCategory>().size()> kFacts{{
    // directCommercialAttribution
    {5, TrackingImpactConfidence::high,
     "Helps a merchant, affiliate, or partner claim credit for your click or purchase."},
    // adPlatformAttribution
    {4, TrackingImpactConfidence::high,
     "Helps ad and social platforms connect a click to later behavior or conversions."},
    // campaignAnalytics
    {2, TrackingImpactConfidence::high,
     "Helps marketers measure which campaign, source, or creative drove the click."},
    // behavioralCorrelation
    {2, TrackingImpactConfidence::medium,
     "Helps companies connect this click to a broader profile across emails, campaigns, or "
     "sessions."},
    // redirectTracking
    {3, TrackingImpactConfidence::medium,
     "Routes the click through tracking infrastructure before reaching the destination."},
}};

const CategoryFacts& factsOf(TrackingCommercialCategory category) {
    return kFacts[static_cast<std::size_t>(category)];
}

}  // namespace

std::int64_t weight(TrackingCommercialCategory category) {
    return factsOf(category).weight;
}

TrackingImpactConfidence defaultConfidence(TrackingCommercialCategory category) {
    return factsOf(category).confidence;
}

std::string_view explanation(TrackingCommercialCategory category) {
    return factsOf(category).explanation;
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

}  // namespace scourlet

#include "ScourletCore/rules/RuleCategoryType.h"

#include <cstddef>

namespace scourlet {

namespace {

struct CategoryTexts {
    std::string_view icon;
    std::string_view description;
};

// Indexed by the enumerator's value, so the order must follow the declaration.
constexpr std::array<CategoryTexts, allCases<RuleCategoryType>().size()> kTexts{{
    {"chart.bar", "UTM parameters, Google Analytics, Adobe, Yandex"},
    {"bubble.left.and.bubble.right", "Facebook, Twitter, Instagram, TikTok tracking"},
    {"megaphone", "Google Ads, Microsoft Ads, ad tracking"},
    {"arrow.triangle.branch", "Affiliate tags, referrer parameters"},
    {"arrow.uturn.right", "Google/Facebook URL redirect wrappers"},
    {"cart", "Amazon ref tags, product tracking"},
    {"envelope", "Mailchimp, HubSpot parameters"},
    {"wrench", "User-defined rules"},
}};

const CategoryTexts& textsOf(RuleCategoryType type) {
    return kTexts[static_cast<std::size_t>(type)];
}

}  // namespace

std::string_view icon(RuleCategoryType type) {
    return textsOf(type).icon;
}

std::string_view description(RuleCategoryType type) {
    return textsOf(type).description;
}

}  // namespace scourlet

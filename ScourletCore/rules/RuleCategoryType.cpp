#include "ScourletCore/rules/RuleCategoryType.h"

namespace scourlet {

namespace {

struct CategoryTexts {
    std::string_view rawValue;
    std::string_view icon;
    std::string_view description;
};

// Indexed by the enumerator's value, so the order must follow the declaration.
constexpr std::array<CategoryTexts, ruleCategoryTypeAllCases.size()> kTexts{{
    {"Analytics", "chart.bar", "UTM parameters, Google Analytics, Adobe, Yandex"},
    {"Social Media", "bubble.left.and.bubble.right",
     "Facebook, Twitter, Instagram, TikTok tracking"},
    {"Advertising", "megaphone", "Google Ads, Microsoft Ads, ad tracking"},
    {"Referral Marketing", "arrow.triangle.branch", "Affiliate tags, referrer parameters"},
    {"Redirect Unwrapping", "arrow.uturn.right", "Google/Facebook URL redirect wrappers"},
    {"E-commerce", "cart", "Amazon ref tags, product tracking"},
    {"Email Marketing", "envelope", "Mailchimp, HubSpot parameters"},
    {"Custom", "wrench", "User-defined rules"},
}};

const CategoryTexts& textsOf(RuleCategoryType type) {
    return kTexts[static_cast<std::size_t>(type)];
}

}  // namespace

std::string_view rawValue(RuleCategoryType type) {
    return textsOf(type).rawValue;
}

std::string_view icon(RuleCategoryType type) {
    return textsOf(type).icon;
}

std::string_view description(RuleCategoryType type) {
    return textsOf(type).description;
}

std::optional<RuleCategoryType> ruleCategoryTypeFromRawValue(std::string_view raw) {
    for (RuleCategoryType type : ruleCategoryTypeAllCases) {
        if (rawValue(type) == raw) {
            return type;
        }
    }
    return std::nullopt;
}

RuleCategoryType JsonValue<RuleCategoryType>::decode(const Json& json, std::string_view context) {
    if (!json.is_string()) {
        throwDecoding(context, "expected a rule category name");
    }
    const auto type = ruleCategoryTypeFromRawValue(json.get_ref<const std::string&>());
    if (!type) {
        throwDecoding(context, "unknown rule category \"" + json.get<std::string>() + "\"");
    }
    return *type;
}

}  // namespace scourlet

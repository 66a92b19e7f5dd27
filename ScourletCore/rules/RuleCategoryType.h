// The eight fixed rule categories.
//
// Every rule belongs to one category. A category's raw value is at once its
// identifier, its display name and its form in stored JSON, so the raw values
// must never change. allCases() is the display order ("Analytics" first,
// "Custom" last). `icon` names a system symbol; `description` is the line
// shown under the category in the settings window.
//
//   auto type = enumFromRawValue<RuleCategoryType>("E-commerce");   // ecommerce
//   std::string key = "cat:" + std::string(id(*type));
//   for (RuleCategoryType t : allCases<RuleCategoryType>()) { ... }
#pragma once

#include <array>
#include <string_view>

#include "ScourletCore/platform/RawValueEnum.h"

namespace scourlet {

enum class RuleCategoryType {
    analytics,
    socialMedia,
    advertising,
    referralMarketing,
    redirectUnwrapping,
    ecommerce,
    emailMarketing,
    custom,
};

template <>
struct RawValueTable<RuleCategoryType> {
    static constexpr std::string_view name = "rule category";
    static constexpr auto cases = std::to_array<RawValueCase<RuleCategoryType>>({
        {RuleCategoryType::analytics, "Analytics"},
        {RuleCategoryType::socialMedia, "Social Media"},
        {RuleCategoryType::advertising, "Advertising"},
        {RuleCategoryType::referralMarketing, "Referral Marketing"},
        {RuleCategoryType::redirectUnwrapping, "Redirect Unwrapping"},
        {RuleCategoryType::ecommerce, "E-commerce"},
        {RuleCategoryType::emailMarketing, "Email Marketing"},
        {RuleCategoryType::custom, "Custom"},
    });
};

// The identifier: the same text as the raw value.
inline std::string_view id(RuleCategoryType type) {
    return rawValue(type);
}

// The system symbol name shown beside the category, e.g. "chart.bar".
std::string_view icon(RuleCategoryType type);

// The one-line description shown in the settings window.
std::string_view description(RuleCategoryType type);

}  // namespace scourlet

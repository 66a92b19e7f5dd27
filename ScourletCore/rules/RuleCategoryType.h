// The eight fixed rule categories.
//
// Every rule belongs to one category. A category's raw value is at once its
// identifier, its display name and its form in stored JSON, so the raw values
// must never change. `icon` names a system symbol; `description` is the line
// shown under the category in the settings window.
//
//   auto type = ruleCategoryTypeFromRawValue("E-commerce");   // ecommerce
//   std::string key = "cat:" + std::string(id(*type));
//   for (RuleCategoryType t : ruleCategoryTypeAllCases) { ... }
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "ScourletCore/platform/Json.h"

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

// Every category, in display order ("Analytics" first, "Custom" last).
inline constexpr std::array<RuleCategoryType, 8> ruleCategoryTypeAllCases{
    RuleCategoryType::analytics,          RuleCategoryType::socialMedia,
    RuleCategoryType::advertising,        RuleCategoryType::referralMarketing,
    RuleCategoryType::redirectUnwrapping, RuleCategoryType::ecommerce,
    RuleCategoryType::emailMarketing,     RuleCategoryType::custom,
};

// The display name, e.g. "Social Media".
std::string_view rawValue(RuleCategoryType type);

// The category whose raw value is exactly `raw` (case and spacing count), or
// nothing for any other text.
std::optional<RuleCategoryType> ruleCategoryTypeFromRawValue(std::string_view raw);

// The identifier: the same text as the raw value.
inline std::string_view id(RuleCategoryType type) {
    return rawValue(type);
}

// The system symbol name shown beside the category, e.g. "chart.bar".
std::string_view icon(RuleCategoryType type);

// The one-line description shown in the settings window.
std::string_view description(RuleCategoryType type);

// Reads a category from its raw value string; throws DecodingException for any
// other JSON value.
template <>
struct JsonValue<RuleCategoryType> {
    static RuleCategoryType decode(const Json& json, std::string_view context);
};

}  // namespace scourlet

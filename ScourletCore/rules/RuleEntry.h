// One rule as the user sees it: a switch and a match count inside a category.
//
// Entries are shared: the rules engine, the category lists and the interface
// hold the same objects through std::shared_ptr, so switching an entry off is
// seen everywhere at once. Observers of a published field (`isEnabled`,
// `matchCount`) run before the value changes, while the old value is still
// readable.
//
//   auto entry = std::make_shared<RuleEntry>(std::nullopt, "fbclid", "fbclid",
//       RuleCategoryType::socialMedia, RuleEntry::RuleSource::clearURLs, true);
//   entry->id();                       // "Social Media:fbclid"
//   Connection c = entry->isEnabledPublisher().connect([](const bool& next) { ... });
//   entry->setIsEnabled(false);
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/platform/RawValueEnum.h"
#include "ScourletCore/platform/Result.h"
#include "ScourletCore/rules/RuleCategoryType.h"

namespace scourlet {

class RuleEntry final : public ObservableObject {
public:
    // Where an entry comes from.
    enum class RuleSource {
        clearURLs,  // "ClearURLs": a provider of the providers or supplementary file
        fallback,   // "Built-in": one of the engine's own fallback parameter rules
        custom,     // "Custom": added by the user or imported
    };

    // Without an `id`, the id is the category's raw value, ":" and the pattern
    // ("Social Media:fbclid"); a given id is kept exactly. The match count starts at 0.
    RuleEntry(std::optional<std::string> id, std::string pattern, std::string displayName,
              RuleCategoryType category, RuleSource source, bool isEnabled);

    const std::string& id() const { return id_; }
    const std::string& pattern() const { return pattern_; }
    const std::string& displayName() const { return displayName_; }
    RuleCategoryType category() const { return category_; }
    RuleSource source() const { return source_; }

    bool isEnabled() const { return isEnabled_.get(); }
    void setIsEnabled(bool value) { isEnabled_.set(value); }
    Signal<bool>& isEnabledPublisher() const { return isEnabled_.publisher(); }

    std::int64_t matchCount() const { return matchCount_.get(); }
    void setMatchCount(std::int64_t value) { matchCount_.set(value); }
    Signal<std::int64_t>& matchCountPublisher() const { return matchCount_.publisher(); }

    // An object with all seven fields: "id", "pattern", "displayName",
    // "category", "source", "isEnabled", "matchCount".
    Json toJson() const;
    std::string encoded() const;

    // Builds an entry from the stored fields (the stored id is kept as it is)
    // and then sets its match count. Throws DecodingException when any of the
    // seven keys is missing, null or mistyped, or "category"/"source" is not a
    // known raw value.
    static std::shared_ptr<RuleEntry> fromJson(const Json& json);
    // The same from JSON text; fails with a DecodingError instead of throwing.
    static Result<std::shared_ptr<RuleEntry>, DecodingError> decode(std::string_view text);

private:
    std::string id_;
    std::string pattern_;
    std::string displayName_;
    RuleCategoryType category_;
    RuleSource source_;
    Published<bool> isEnabled_;
    Published<std::int64_t> matchCount_;
};

template <>
struct RawValueTable<RuleEntry::RuleSource> {
    static constexpr std::string_view name = "rule source";
    static constexpr auto cases = std::to_array<RawValueCase<RuleEntry::RuleSource>>({
        {RuleEntry::RuleSource::clearURLs, "ClearURLs"},
        {RuleEntry::RuleSource::fallback, "Built-in"},
        {RuleEntry::RuleSource::custom, "Custom"},
    });
};

}  // namespace scourlet

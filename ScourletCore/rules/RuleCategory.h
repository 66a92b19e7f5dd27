// One of the eight rule categories with its switch, its own count and its entries.
//
// The rules engine builds one category per RuleCategoryType. Categories are
// shared through std::shared_ptr; their entries are the same RuleEntry objects
// the engine uses. Observers of a published field (`isEnabled`, `matchCount`,
// `rules`) run before the value changes, while the old value is still readable.
//
//   auto category = std::make_shared<RuleCategory>(RuleCategoryType::analytics, true,
//                                                   std::vector{entry});
//   category->id();                    // "Analytics"
//   category->enabledRuleCount();      // entries switched on, whatever the category's switch
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/platform/Result.h"
#include "ScourletCore/rules/RuleCategoryType.h"
#include "ScourletCore/rules/RuleEntry.h"

namespace scourlet {

class RuleCategory final : public ObservableObject {
public:
    using Rules = std::vector<std::shared_ptr<RuleEntry>>;

    // The id becomes `type`'s raw value; the category's own match count starts at 0.
    RuleCategory(RuleCategoryType type, bool isEnabled, Rules rules);

    const std::string& id() const { return id_; }
    RuleCategoryType type() const { return type_; }

    bool isEnabled() const { return isEnabled_.get(); }
    void setIsEnabled(bool value) { isEnabled_.set(value); }
    Signal<bool>& isEnabledPublisher() const { return isEnabled_.publisher(); }

    // The count kept for the category as a whole (not the sum of its entries).
    std::int64_t matchCount() const { return matchCount_.get(); }
    void setMatchCount(std::int64_t value) { matchCount_.set(value); }
    Signal<std::int64_t>& matchCountPublisher() const { return matchCount_.publisher(); }

    // The entries in display order.
    const Rules& rules() const { return rules_.get(); }
    void setRules(Rules value);
    Signal<Rules>& rulesPublisher() const { return rules_.publisher(); }

    // The first entry in `rules` whose id is exactly `id` (case-sensitive), or
    // nullptr. Constant time: an index follows every change of `rules`, so the
    // cleaner can ask for every parameter of every copied link.
    RuleEntry* entryWithID(std::string_view id) const;

    // The sum of the entries' match counts, held at the int64 limits rather than
    // overflowing; the category's own count is not part of it.
    std::int64_t totalMatchCount() const;
    // The number of entries switched on; the category's own switch does not matter.
    std::int64_t enabledRuleCount() const;

    // An object with "id", "type", "isEnabled", "matchCount" and "rules" (the
    // entries' objects, in order).
    Json toJson() const;
    std::string encoded() const;

    // Builds a category from "type", "isEnabled" and "rules", then sets its match
    // count from "matchCount". The stored "id" is not read: the id always follows
    // the type. Throws DecodingException when one of those four keys is missing,
    // null or mistyped, "type" is not a category raw value, or any entry fails to
    // decode.
    static std::shared_ptr<RuleCategory> fromJson(const Json& json);
    // The same from JSON text; fails with a DecodingError instead of throwing.
    static Result<std::shared_ptr<RuleCategory>, DecodingError> decode(std::string_view text);

private:
    void reindex();

    std::string id_;
    RuleCategoryType type_;
    Published<bool> isEnabled_;
    Published<std::int64_t> matchCount_;
    Published<Rules> rules_;
    // Entry ids (views into the entries, which keep their id for life) to the
    // first entry that carries each.
    std::unordered_map<std::string_view, RuleEntry*> firstEntryByID_;
};

}  // namespace scourlet

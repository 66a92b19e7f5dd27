#include "ScourletCore/rules/RuleCategory.h"

#include <limits>
#include <utility>

namespace scourlet {

RuleCategory::RuleCategory(RuleCategoryType type, bool isEnabled, Rules rules)
    : id_(rawValue(type)),
      type_(type),
      isEnabled_(*this, isEnabled),
      matchCount_(*this, 0),
      rules_(*this, std::move(rules)) {
    reindex();
}

void RuleCategory::setRules(Rules value) {
    // Observers run inside set() and still see the old list with its old index.
    rules_.set(std::move(value));
    reindex();
}

RuleEntry* RuleCategory::entryWithID(std::string_view id) const {
    const auto found = firstEntryByID_.find(id);
    return found == firstEntryByID_.end() ? nullptr : found->second;
}

void RuleCategory::reindex() {
    firstEntryByID_.clear();
    firstEntryByID_.reserve(rules().size());
    for (const auto& entry : rules()) {
        if (entry) {
            firstEntryByID_.emplace(entry->id(), entry.get());  // keeps the first of an id
        }
    }
}

std::int64_t RuleCategory::totalMatchCount() const {
    // Counts arrive from the store and from imported files at any size, so the
    // sum is taken wide and clamped rather than left to overflow.
    __int128 total = 0;
    for (const auto& entry : rules()) {
        total += entry->matchCount();
    }
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    return total > kMax ? kMax : total < kMin ? kMin : static_cast<std::int64_t>(total);
}

std::int64_t RuleCategory::enabledRuleCount() const {
    std::int64_t count = 0;
    for (const auto& entry : rules()) {
        if (entry->isEnabled()) {
            ++count;
        }
    }
    return count;
}

Json RuleCategory::toJson() const {
    Json json = Json::object();
    json["id"] = id_;
    json["type"] = std::string(rawValue(type_));
    json["isEnabled"] = isEnabled();
    json["matchCount"] = matchCount();
    Json entries = Json::array();
    for (const auto& entry : rules()) {
        entries.push_back(entry->toJson());
    }
    json["rules"] = std::move(entries);
    return json;
}

std::string RuleCategory::encoded() const {
    return dumpJson(toJson());
}

std::shared_ptr<RuleCategory> RuleCategory::fromJson(const Json& json) {
    const JsonObjectReader object(json, "category");
    const auto type = object.required<RuleCategoryType>("type");
    const bool isEnabled = object.required<bool>("isEnabled");

    const Json* stored = object.find("rules");
    if (stored == nullptr || stored->is_null()) {
        throwDecoding("rules", "required key is missing");
    }
    if (!stored->is_array()) {
        throwDecoding("rules", "expected an array");
    }
    Rules rules;
    rules.reserve(stored->size());
    for (const Json& element : *stored) {
        rules.push_back(RuleEntry::fromJson(element));
    }

    auto category = std::make_shared<RuleCategory>(type, isEnabled, std::move(rules));
    category->setMatchCount(object.required<std::int64_t>("matchCount"));
    return category;
}

Result<std::shared_ptr<RuleCategory>, DecodingError> RuleCategory::decode(std::string_view text) {
    return decodeJson(text, [](const Json& json) { return fromJson(json); });
}

}  // namespace scourlet

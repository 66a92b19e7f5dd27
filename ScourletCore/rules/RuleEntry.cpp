#include "ScourletCore/rules/RuleEntry.h"

#include <utility>

namespace scourlet {

namespace {

std::string defaultId(RuleCategoryType category, std::string_view pattern) {
    const std::string_view prefix = rawValue(category);
    std::string id;
    id.reserve(prefix.size() + 1 + pattern.size());
    id.append(prefix).append(":").append(pattern);
    return id;
}

}  // namespace

RuleEntry::RuleEntry(std::optional<std::string> id, std::string pattern, std::string displayName,
                     RuleCategoryType category, RuleSource source, bool isEnabled)
    : id_(id ? std::move(*id) : defaultId(category, pattern)),
      pattern_(std::move(pattern)),
      displayName_(std::move(displayName)),
      category_(category),
      source_(source),
      isEnabled_(*this, isEnabled),
      matchCount_(*this, 0) {}

Json RuleEntry::toJson() const {
    Json json = Json::object();
    json["id"] = id_;
    json["pattern"] = pattern_;
    json["displayName"] = displayName_;
    json["category"] = std::string(rawValue(category_));
    json["source"] = std::string(rawValue(source_));
    json["isEnabled"] = isEnabled();
    json["matchCount"] = matchCount();
    return json;
}

std::string RuleEntry::encoded() const {
    return dumpJson(toJson());
}

std::shared_ptr<RuleEntry> RuleEntry::fromJson(const Json& json) {
    const JsonObjectReader object(json, "rule");
    auto entry = std::make_shared<RuleEntry>(
        object.required<std::string>("id"), object.required<std::string>("pattern"),
        object.required<std::string>("displayName"), object.required<RuleCategoryType>("category"),
        object.required<RuleSource>("source"), object.required<bool>("isEnabled"));
    entry->setMatchCount(object.required<std::int64_t>("matchCount"));
    return entry;
}

Result<std::shared_ptr<RuleEntry>, DecodingError> RuleEntry::decode(std::string_view text) {
    return decodeJson(text, [](const Json& json) { return fromJson(json); });
}

}  // namespace scourlet

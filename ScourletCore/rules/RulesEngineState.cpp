// The persisted state of the rules engine: switches, match counts and custom
// rules in the settings store, their export and import, reset and reload.
#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "ScourletCore/platform/Json.h"
#include "ScourletCore/rules/RulesEngine.h"
#include "ScourletCore/rules/internal/LiteralNameRule.h"

namespace scourlet {

namespace {

constexpr std::string_view kCategoryKeyPrefix = "cat:";
constexpr std::string_view kRuleKeyPrefix = "rule:";

using Categories = std::vector<std::shared_ptr<RuleCategory>>;

DefaultsData toData(std::string_view text) {
    return DefaultsData(text.begin(), text.end());
}

std::string_view asText(const DefaultsData& data) {
    return {reinterpret_cast<const char*>(data.data()), data.size()};
}

RuleCategory* firstOfType(const Categories& categories, RuleCategoryType type) {
    for (const auto& category : categories) {
        if (category->type() == type) {
            return category.get();
        }
    }
    return nullptr;
}

void appendRules(RuleCategory& category, const RuleCategory::Rules& extra) {
    RuleCategory::Rules rules = category.rules();
    rules.insert(rules.end(), extra.begin(), extra.end());
    category.setRules(std::move(rules));
}

// Removes the custom entries of `category` that `remove` selects; publishes a
// new list only when something goes.
template <class Predicate>
void removeCustomEntries(RuleCategory& category, Predicate remove) {
    const RuleCategory::Rules& current = category.rules();
    auto isRemoved = [&remove](const std::shared_ptr<RuleEntry>& entry) {
        return entry->source() == RuleEntry::RuleSource::custom && remove(*entry);
    };
    if (std::none_of(current.begin(), current.end(), isRemoved)) {
        return;
    }
    RuleCategory::Rules kept;
    kept.reserve(current.size());
    for (const auto& entry : current) {
        if (!isRemoved(entry)) {
            kept.push_back(entry);
        }
    }
    category.setRules(std::move(kept));
}

// Writes "cat:" + id and "rule:" + id for every category and entry, in list
// order (a later duplicate key overwrites), as compact JSON data under `key`.
template <class Value>
void saveStates(UserDefaults& defaults, std::string_view key, const Categories& categories,
                Value value) {
    // A sorted map keeps each insertion logarithmic; the readers do not care
    // about key order. Match counts are saved after every clean.
    nlohmann::json states = nlohmann::json::object();
    for (const auto& category : categories) {
        states[std::string(kCategoryKeyPrefix) + category->id()] = value(*category);
        for (const auto& entry : category->rules()) {
            states[std::string(kRuleKeyPrefix) + entry->id()] = value(*entry);
        }
    }
    defaults.setData(key,
                     toData(states.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)));
}

}  // namespace

// The stored switches and counts, split by key kind and keyed by the id after
// the prefix, so that applying them builds no key strings.
struct RulesEngine::PersistedState {
    struct TransparentHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };

    template <class T>
    struct Values {
        std::unordered_map<std::string, T, TransparentHash, std::equal_to<>> categories;
        std::unordered_map<std::string, T, TransparentHash, std::equal_to<>> rules;

        const T* category(std::string_view id) const { return find(categories, id); }
        const T* rule(std::string_view id) const { return find(rules, id); }

        template <class Map>
        static const T* find(const Map& map, std::string_view id) {
            const auto found = map.find(id);
            return found == map.end() ? nullptr : &found->second;
        }
    };

    // Nothing when the stored value is absent or does not decode as an object of
    // values of type T; keys without either prefix are ignored.
    template <class T>
    static std::optional<Values<T>> read(const UserDefaults& defaults, std::string_view key) {
        const auto data = defaults.dataForKey(key);
        if (!data) {
            return std::nullopt;
        }
        auto decoded = decodeJson(asText(*data), [](const Json& json) {
            if (!json.is_object()) {
                throwDecoding({}, "expected an object");
            }
            Values<T> values;
            for (auto it = json.begin(); it != json.end(); ++it) {
                const std::string& stateKey = it.key();
                T value = JsonValue<T>::decode(it.value(), stateKey);
                if (stateKey.starts_with(kCategoryKeyPrefix)) {
                    values.categories.insert_or_assign(stateKey.substr(kCategoryKeyPrefix.size()),
                                                       value);
                } else if (stateKey.starts_with(kRuleKeyPrefix)) {
                    values.rules.insert_or_assign(stateKey.substr(kRuleKeyPrefix.size()), value);
                }
            }
            return values;
        });
        if (!decoded) {
            return std::nullopt;
        }
        return std::move(*decoded);
    }

    void applyToEntry(RuleEntry& entry) const {
        if (enabled) {
            if (const bool* value = enabled->rule(entry.id())) {
                entry.setIsEnabled(*value);
            }
        }
        if (counts) {
            if (const std::int64_t* value = counts->rule(entry.id())) {
                entry.setMatchCount(*value);
            }
        }
    }

    std::optional<Values<bool>> enabled;
    std::optional<Values<std::int64_t>> counts;
};

RulesEngine::PersistedState RulesEngine::readPersistedState() const {
    return {PersistedState::read<bool>(*defaults_, enabledStateKey),
            PersistedState::read<std::int64_t>(*defaults_, matchCountsKey)};
}

void RulesEngine::applyPersistedStates(const Categories& categories, const PersistedState& state) {
    if (state.enabled) {
        for (const auto& category : categories) {
            if (const bool* value = state.enabled->category(category->id())) {
                category->setIsEnabled(*value);
            }
            for (const auto& entry : category->rules()) {
                if (const bool* value = state.enabled->rule(entry->id())) {
                    entry->setIsEnabled(*value);
                }
            }
        }
    }
    if (state.counts) {
        for (const auto& category : categories) {
            if (const std::int64_t* value = state.counts->category(category->id())) {
                category->setMatchCount(*value);
            }
            for (const auto& entry : category->rules()) {
                if (const std::int64_t* value = state.counts->rule(entry->id())) {
                    entry->setMatchCount(*value);
                }
            }
        }
    }
}

RuleCategory::Rules RulesEngine::loadCustomRules(const Categories& categories,
                                                 std::vector<FallbackRule>& fallbackRules,
                                                 const UserDefaults& defaults) {
    const auto data = defaults.dataForKey(customRulesKey);
    if (!data) {
        return {};
    }
    auto decoded = decodeJson(asText(*data), [](const Json& json) {
        if (!json.is_array()) {
            throwDecoding(customRulesKey, "expected an array");
        }
        RuleCategory::Rules entries;
        entries.reserve(json.size());
        for (const Json& element : json) {
            entries.push_back(RuleEntry::fromJson(element));
        }
        return entries;
    });
    if (!decoded) {
        return {};
    }
    // Entries are gathered per category and published with one list change each.
    std::vector<std::pair<RuleCategory*, RuleCategory::Rules>> additions;
    for (const auto& entry : *decoded) {
        if (RuleCategory* category = firstOfType(categories, entry->category())) {
            auto slot = std::find_if(additions.begin(), additions.end(),
                                     [category](const auto& a) { return a.first == category; });
            if (slot == additions.end()) {
                additions.emplace_back(category, RuleCategory::Rules{});
                slot = std::prev(additions.end());
            }
            slot->second.push_back(entry);
        }
        if (auto regex = internal::compileLiteralNameRule(entry->pattern())) {
            fallbackRules.push_back(
                {std::move(*regex), entry->id(), entry->category(), FallbackRule::Origin::custom});
        }
    }
    for (const auto& [category, entries] : additions) {
        appendRules(*category, entries);
    }
    return std::move(*decoded);
}

void RulesEngine::restorePersistedState(const Categories& categories,
                                        std::vector<FallbackRule>& fallbackRules) const {
    const PersistedState state = readPersistedState();
    applyPersistedStates(categories, state);
    const RuleCategory::Rules custom = loadCustomRules(categories, fallbackRules, *defaults_);
    // The custom entries were not listed when the stored switches and counts were
    // applied above. Their stored record holds the switch and count of the moment
    // the rule was added or imported; the "rule:" keys hold the user's later
    // changes, so they win wherever they exist.
    for (const auto& entry : custom) {
        state.applyToEntry(*entry);
    }
}

void RulesEngine::saveEnabledStates() {
    saveStates(*defaults_, enabledStateKey, categories.get(),
               [](const auto& item) { return item.isEnabled(); });
}

void RulesEngine::saveMatchCounts() {
    saveStates(*defaults_, matchCountsKey, categories.get(),
               [](const auto& item) { return item.matchCount(); });
}

void RulesEngine::resetMatchCounts() {
    for (const auto& category : categories.get()) {
        category->setMatchCount(0);
        for (const auto& entry : category->rules()) {
            entry->setMatchCount(0);
        }
    }
    defaults_->removeObject(matchCountsKey);
}

void RulesEngine::saveCustomRules() {
    Json entries = Json::array();
    for (const auto& category : categories.get()) {
        for (const auto& entry : category->rules()) {
            if (entry->source() == RuleEntry::RuleSource::custom) {
                entries.push_back(entry->toJson());
            }
        }
    }
    defaults_->setData(customRulesKey, toData(dumpJson(entries)));
}

void RulesEngine::addCustomRule(std::string pattern, std::string displayName,
                                RuleCategoryType category) {
    auto entry =
        std::make_shared<RuleEntry>(std::nullopt, std::move(pattern), std::move(displayName),
                                    category, RuleEntry::RuleSource::custom, true);
    if (RuleCategory* listed = categoryOf(category)) {
        appendRules(*listed, {entry});
    }
    if (auto regex = internal::compileLiteralNameRule(entry->pattern())) {
        fallbackRules_.push_back(
            {std::move(*regex), entry->id(), category, FallbackRule::Origin::custom});
    }
    saveCustomRules();
    saveEnabledStates();
}

void RulesEngine::removeCustomRule(std::string_view id) {
    for (const auto& category : categories.get()) {
        removeCustomEntries(*category, [id](const RuleEntry& entry) { return entry.id() == id; });
    }
    std::erase_if(fallbackRules_, [id](const FallbackRule& rule) {
        return rule.origin == FallbackRule::Origin::custom && rule.ruleID == id;
    });
    saveCustomRules();
}

std::optional<std::string> RulesEngine::exportRules() const {
    Json exported = Json::array();
    for (const auto& category : categories.get()) {
        exported.push_back(category->toJson());
    }
    return dumpJson(exported);
}

void RulesEngine::importRules(std::string_view data) {
    auto decoded = decodeJson(data, [](const Json& json) {
        if (!json.is_array()) {
            throwDecoding({}, "expected an array of categories");
        }
        Categories imported;
        imported.reserve(json.size());
        for (const Json& element : json) {
            imported.push_back(RuleCategory::fromJson(element));
        }
        return imported;
    });
    if (!decoded) {
        return;
    }
    for (const auto& imported : *decoded) {
        RuleCategory* existing = categoryOf(imported->type());
        if (existing == nullptr) {
            continue;
        }
        existing->setIsEnabled(imported->isEnabled());
        RuleCategory::Rules added;
        std::unordered_set<std::string_view> addedIDs;
        for (const auto& entry : imported->rules()) {
            if (entry->source() != RuleEntry::RuleSource::custom ||
                existing->entryWithID(entry->id()) != nullptr || addedIDs.contains(entry->id())) {
                continue;
            }
            added.push_back(entry);
            addedIDs.insert(entry->id());
            if (auto regex = internal::compileLiteralNameRule(entry->pattern())) {
                fallbackRules_.push_back({std::move(*regex), entry->id(), entry->category(),
                                          FallbackRule::Origin::custom});
            }
        }
        if (!added.empty()) {
            appendRules(*existing, added);
        }
    }
    saveEnabledStates();
    saveCustomRules();
}

void RulesEngine::removeAllCustomRules() {
    for (const auto& category : categories.get()) {
        removeCustomEntries(*category, [](const RuleEntry&) { return true; });
    }
    // Every record a custom rule added goes, also those of rules that no category
    // lists (added before the first load): records of built-in rules stay.
    std::erase_if(fallbackRules_, [](const FallbackRule& rule) {
        return rule.origin == FallbackRule::Origin::custom;
    });
}

void RulesEngine::resetToDefaults() {
    for (const auto& category : categories.get()) {
        category->setIsEnabled(true);
        for (const auto& entry : category->rules()) {
            entry->setIsEnabled(true);
        }
    }
    removeAllCustomRules();
    defaults_->removeObject(enabledStateKey);
    defaults_->removeObject(customRulesKey);
}

void RulesEngine::reloadPersistedState() {
    removeAllCustomRules();
    restorePersistedState(categories.get(), fallbackRules_);
}

}  // namespace scourlet

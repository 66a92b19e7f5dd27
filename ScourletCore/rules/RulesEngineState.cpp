// The persisted state of the rules engine: switches, match counts and custom
// rules in the settings store, their export and import, reset and reload.
#include <algorithm>
#include <bit>
#include <chrono>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "ScourletCore/clipboard/internal/DailyStatsBucket.h"
#include "ScourletCore/platform/Json.h"
#include "ScourletCore/rules/RulesEngine.h"
#include "ScourletCore/rules/internal/JsonStringText.h"
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

// The "cat:" and "rule:" keys of a state object, each once, in the order first
// listed, each holding the value of its last listing: what assigning them one
// by one to a JSON object leaves. The ids are viewed, not copied; the
// categories outlive the table. One open-addressing index over the slots keeps
// a save at a few allocations however many entries there are.
template <class T>
class StateSlots {
public:
    struct Slot {
        std::string_view prefix;
        std::string_view id;
        T value;
    };

    explicit StateSlots(std::size_t capacity) {
        slots_.reserve(capacity);
        std::size_t buckets = 16;
        while (buckets < capacity * 2) {
            buckets *= 2;
        }
        index_.assign(buckets, kEmpty);
    }

    // At most `capacity` distinct keys.
    void set(std::string_view prefix, std::string_view id, T value) {
        const std::size_t mask = index_.size() - 1;
        // The two prefixes differ in length, which separates "cat:x" from "rule:x".
        std::size_t bucket = (hashOf(id) + prefix.size()) & mask;
        for (;; bucket = (bucket + 1) & mask) {
            std::uint32_t& position = index_[bucket];
            if (position == kEmpty) {
                position = static_cast<std::uint32_t>(slots_.size());
                slots_.push_back({prefix, id, value});
                idBytes_ += id.size();
                return;
            }
            Slot& slot = slots_[position];
            if (slot.prefix.size() == prefix.size() && slot.id == id) {
                slot.value = value;
                return;
            }
        }
    }

    const std::vector<Slot>& slots() const { return slots_; }
    std::size_t idBytes() const { return idBytes_; }

private:
    static constexpr std::uint32_t kEmpty = std::numeric_limits<std::uint32_t>::max();

    // A word-at-a-time hash, inlined: the library's byte hash is a call per id
    // and a noticeable share of a save. The last word of an id of 8 bytes or
    // more overlaps the one before it; shorter ids go byte by byte.
    static std::size_t hashOf(std::string_view id) {
        constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15;
        auto mix = [](std::uint64_t hash, std::uint64_t word) {
            return std::rotl((hash ^ word) * kMultiplier, 29);
        };
        auto wordAt = [&id](std::size_t offset) {
            std::uint64_t word = 0;
            std::memcpy(&word, id.data() + offset, sizeof word);
            return word;
        };
        std::uint64_t hash = id.size();
        if (id.size() >= sizeof(std::uint64_t)) {
            std::size_t offset = 0;
            for (; offset + sizeof(std::uint64_t) < id.size(); offset += sizeof(std::uint64_t)) {
                hash = mix(hash, wordAt(offset));
            }
            hash = mix(hash, wordAt(id.size() - sizeof(std::uint64_t)));
        } else {
            for (const char c : id) {
                hash = mix(hash, static_cast<unsigned char>(c));
            }
        }
        // The index uses the low bits; fold the high ones in.
        hash ^= hash >> 32;
        hash *= kMultiplier;
        return static_cast<std::size_t>(hash ^ (hash >> 29));
    }

    std::vector<Slot> slots_;
    std::vector<std::uint32_t> index_;
    std::size_t idBytes_ = 0;
};

// Every "cat:" + id and "rule:" + id of the categories and their entries with
// its value, each key once, holding the value of its last listing.
template <class Value>
auto stateValues(const Categories& categories, Value value) {
    using T = std::invoke_result_t<Value&, const RuleCategory&>;
    std::size_t count = categories.size();
    for (const auto& category : categories) {
        count += category->rules().size();
    }
    StateSlots<T> states(count);
    for (const auto& category : categories) {
        states.set(kCategoryKeyPrefix, category->id(), value(*category));
        for (const auto& entry : category->rules()) {
            states.set(kRuleKeyPrefix, entry->id(), value(*entry));
        }
    }
    std::unordered_map<std::string, T> values;
    values.reserve(states.slots().size());
    for (const auto& slot : states.slots()) {
        std::string key;
        key.reserve(slot.prefix.size() + slot.id.size());
        key.append(slot.prefix).append(slot.id);
        values.emplace(std::move(key), slot.value);
    }
    return values;
}

// One change of a stored state object.
template <class T>
struct StateEdit {
    enum class Kind {
        set,        // the key gets the value
        add,        // the value is added to the stored count (an absent one counts as 0)
        keepOrSet,  // a stored value stays; an absent key gets the value
        erase,      // the key goes
    };
    std::string key;
    Kind kind;
    T value;
};

// Adds to `edits` the removal of every key saved last time that `values` no
// longer has (a custom rule deleted, say).
template <class T, class SavedMap, class ValueMap>
void appendErasures(std::vector<StateEdit<T>>& edits, const SavedMap* saved,
                    const ValueMap& values) {
    if (saved == nullptr) {
        return;
    }
    for (const auto& [key, value] : *saved) {
        if (!values.contains(key)) {
            edits.push_back({key, StateEdit<T>::Kind::erase, value});
        }
    }
}

// The store change that makes `edits` to the state object stored as JSON data;
// data that does not decode as an object counts as an empty object.
template <class T>
DefaultsValueChange stateObjectChange(std::vector<StateEdit<T>> edits) {
    return [edits = std::move(edits)](std::optional<DefaultsValue> stored) {
        Json object = Json::object();
        if (stored && stored->is_binary()) {
            const auto& bytes = stored->get_binary();
            Json parsed = Json::parse(bytes.begin(), bytes.end(), nullptr, false);
            if (parsed.is_object()) {
                object = std::move(parsed);
            }
        }
        using Kind = typename StateEdit<T>::Kind;
        for (const auto& edit : edits) {
            switch (edit.kind) {
                case Kind::set:
                    object[edit.key] = edit.value;
                    break;
                case Kind::add:
                    if constexpr (std::is_same_v<T, std::int64_t>) {
                        const auto it = object.find(edit.key);
                        const std::int64_t before = it != object.end() && it->is_number_integer()
                                                        ? it->template get<std::int64_t>()
                                                        : 0;
                        object[edit.key] = internal::saturatingSum(before, edit.value);
                    }
                    break;
                case Kind::keepOrSet:
                    if (!object.contains(edit.key)) {
                        object[edit.key] = edit.value;
                    }
                    break;
                case Kind::erase:
                    object.erase(edit.key);
                    break;
            }
        }
        return std::optional<DefaultsValue>(DefaultsValue::binary(toData(dumpJson(object))));
    };
}

// The records of a stored custom-rule list (JSON data of an array); empty when
// there is none or it does not decode.
Json storedRecords(const std::optional<DefaultsValue>& stored) {
    if (stored && stored->is_binary()) {
        const auto& bytes = stored->get_binary();
        Json parsed = Json::parse(bytes.begin(), bytes.end(), nullptr, false);
        if (parsed.is_array()) {
            return parsed;
        }
    }
    return Json::array();
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
                                        std::vector<FallbackRule>& fallbackRules) {
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
    rememberSavedStates(categories);
}

void RulesEngine::rememberSavedStates(const Categories& categories) {
    savedSwitches_ = std::make_shared<const std::unordered_map<std::string, bool>>(
        stateValues(categories, [](const auto& item) { return item.isEnabled(); }));
    savedCounts_ = std::make_shared<const std::unordered_map<std::string, std::int64_t>>(
        stateValues(categories, [](const auto& item) { return item.matchCount(); }));
}

void RulesEngine::saveEnabledStates() {
    auto values = stateValues(categories.get(), [](const auto& item) { return item.isEnabled(); });
    using Edit = StateEdit<bool>;
    std::vector<Edit> edits;
    edits.reserve(values.size());
    for (const auto& [key, value] : values) {
        // A switch this engine left as it was keeps what another process stored.
        bool changed = true;
        if (savedSwitches_) {
            const auto saved = savedSwitches_->find(key);
            changed = saved == savedSwitches_->end() || saved->second != value;
        }
        edits.push_back({key, changed ? Edit::Kind::set : Edit::Kind::keepOrSet, value});
    }
    appendErasures(edits, savedSwitches_.get(), values);
    defaults_->update(enabledStateKey, stateObjectChange(std::move(edits)));
    savedSwitches_ =
        std::make_shared<const std::unordered_map<std::string, bool>>(std::move(values));
}

void RulesEngine::saveMatchCounts() {
    auto values = stateValues(categories.get(), [](const auto& item) { return item.matchCount(); });
    using Edit = StateEdit<std::int64_t>;
    std::vector<Edit> edits;
    edits.reserve(values.size());
    for (const auto& [key, value] : values) {
        const std::int64_t* saved = nullptr;
        if (savedCounts_) {
            if (const auto found = savedCounts_->find(key); found != savedCounts_->end()) {
                saved = &found->second;
            }
        }
        if (saved == nullptr) {
            // New here (a custom rule just added, say): its count is this one.
            edits.push_back({key, Edit::Kind::set, value});
        } else if (std::int64_t added = 0;
                   value > *saved && !__builtin_sub_overflow(value, *saved, &added)) {
            edits.push_back({key, Edit::Kind::add, added});
        } else if (value != *saved) {
            edits.push_back({key, Edit::Kind::set, value});
        } else {
            edits.push_back({key, Edit::Kind::keepOrSet, value});
        }
    }
    appendErasures(edits, savedCounts_.get(), values);
    defaults_->update(matchCountsKey, stateObjectChange(std::move(edits)));
    savedCounts_ =
        std::make_shared<const std::unordered_map<std::string, std::int64_t>>(std::move(values));
    matchCountsChanged_ = false;
    matchCountsSavedAt_ = std::chrono::steady_clock::now();
}

void RulesEngine::saveMatchCountsSoon() {
    if (!matchCountsChanged_) {
        return;
    }
    constexpr auto kSaveInterval = std::chrono::seconds(1);
    if (!matchCountsSavedAt_ ||
        std::chrono::steady_clock::now() - *matchCountsSavedAt_ >= kSaveInterval) {
        saveMatchCounts();
    }
}

void RulesEngine::flushMatchCounts() {
    if (matchCountsChanged_) {
        saveMatchCounts();
    }
}

void RulesEngine::resetMatchCounts() {
    bool hasCustomEntries = false;
    for (const auto& category : categories.get()) {
        category->setMatchCount(0);
        for (const auto& entry : category->rules()) {
            entry->setMatchCount(0);
            hasCustomEntries =
                hasCustomEntries || entry->source() == RuleEntry::RuleSource::custom;
        }
    }
    defaults_->removeObject(matchCountsKey);
    matchCountsChanged_ = false;
    // A custom rule's stored record carries the count it had when it was added
    // or imported, and a load restores it where no "rule:" count overrides it.
    if (hasCustomEntries) {
        changeStoredCustomRules([](Json& records) {
            for (Json& record : records) {
                if (record.is_object() && record.contains("matchCount")) {
                    record["matchCount"] = 0;
                }
            }
        });
    }
    if (savedCounts_) {
        auto zeros = *savedCounts_;
        for (auto& [key, count] : zeros) {
            count = 0;
        }
        savedCounts_ =
            std::make_shared<const std::unordered_map<std::string, std::int64_t>>(std::move(zeros));
    }
}

void RulesEngine::changeStoredCustomRules(std::function<void(Json& records)> change) {
    defaults_->update(customRulesKey, [change = std::move(change)](
                                          std::optional<DefaultsValue> stored) {
        Json records = storedRecords(stored);
        change(records);
        return std::optional<DefaultsValue>(DefaultsValue::binary(toData(dumpJson(records))));
    });
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
    fallbackRulesChanged();
    changeStoredCustomRules([record = entry->toJson()](Json& records) { records.push_back(record); });
    saveEnabledStates();
    // A rule of this id removed earlier may have left its count in the store,
    // which a load would give to the new rule. (Before the first load there
    // are no counts to write, and writing none would drop the stored ones.)
    if (!categories.get().empty()) {
        saveMatchCounts();
    }
}

void RulesEngine::removeCustomRule(std::string_view id) {
    for (const auto& category : categories.get()) {
        removeCustomEntries(*category, [id](const RuleEntry& entry) { return entry.id() == id; });
    }
    std::erase_if(fallbackRules_, [id](const FallbackRule& rule) {
        return rule.origin == FallbackRule::Origin::custom && rule.ruleID == id;
    });
    fallbackRulesChanged();
    changeStoredCustomRules([id = std::string(id)](Json& records) {
        records.erase(std::remove_if(records.begin(), records.end(),
                                     [&id](const Json& record) {
                                         return record.is_object() && record.value("id", "") == id;
                                     }),
                      records.end());
    });
    // The removed rule's count goes from the store too (a built-in entry of the
    // same id keeps its own).
    if (!categories.get().empty()) {
        saveMatchCounts();
    }
}

std::optional<std::string> RulesEngine::exportRules() const {
    Json exported = Json::array();
    for (const auto& category : categories.get()) {
        exported.push_back(category->toJson());
    }
    return dumpJson(exported);
}

Result<RulesEngine::ImportSummary, DecodingError> RulesEngine::importRules(std::string_view data) {
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
        return decoded.error();
    }
    ImportSummary summary;
    for (const auto& imported : *decoded) {
        RuleCategory* existing = categoryOf(imported->type());
        if (existing == nullptr) {
            continue;
        }
        ++summary.categoriesApplied;
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
            summary.customRulesAdded += added.size();
            appendRules(*existing, added);
        }
    }
    if (summary.categoriesApplied == 0) {
        // Nothing was taken over; storing now would only overwrite what is stored
        // (before the first load, with nothing at all).
        return summary;
    }
    fallbackRulesChanged();
    saveEnabledStates();
    // Every custom rule listed now is stored; records of other rules (another
    // process's, or one of the same id stored meanwhile) stay as they are.
    Json listed = Json::array();
    for (const auto& category : categories.get()) {
        for (const auto& entry : category->rules()) {
            if (entry->source() == RuleEntry::RuleSource::custom) {
                listed.push_back(entry->toJson());
            }
        }
    }
    changeStoredCustomRules([listed = std::move(listed)](Json& records) {
        for (const Json& record : listed) {
            const bool stored = std::any_of(records.begin(), records.end(), [&](const Json& r) {
                return r.is_object() && r.value("id", "") == record.value("id", "");
            });
            if (!stored) {
                records.push_back(record);
            }
        }
    });
    return summary;
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
    fallbackRulesChanged();
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
    savedSwitches_ = std::make_shared<const std::unordered_map<std::string, bool>>(
        stateValues(categories.get(), [](const auto& item) { return item.isEnabled(); }));
}

void RulesEngine::reloadPersistedState() {
    // The stored counts are about to be read back: this engine's go there first.
    flushMatchCounts();
    removeAllCustomRules();
    restorePersistedState(categories.get(), fallbackRules_);
    fallbackRulesChanged();
}

}  // namespace scourlet

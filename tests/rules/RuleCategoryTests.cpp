#include "ScourletCore/rules/RuleCategory.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace scourlet {
namespace {

std::shared_ptr<RuleEntry> entry(std::string pattern, bool enabled, std::int64_t count = 0) {
    auto e = std::make_shared<RuleEntry>(std::nullopt, pattern, pattern, RuleCategoryType::custom,
                                         RuleEntry::RuleSource::custom, enabled);
    e->setMatchCount(count);
    return e;
}

Json storedCategory() {
    return Json::parse(R"({"id": "Custom", "type": "Custom", "isEnabled": true, "matchCount": 9,
        "rules": [
            {"id": "Custom:a", "pattern": "a", "displayName": "A", "category": "Custom",
             "source": "Custom", "isEnabled": true, "matchCount": 4},
            {"id": "Custom:b", "pattern": "b", "displayName": "B", "category": "Custom",
             "source": "Custom", "isEnabled": false, "matchCount": 1}
        ]})");
}

TEST(RuleCategoryTest, NewCategoryHasIdOfItsTypeAndZeroCounts) {
    RuleCategory category(RuleCategoryType::redirectUnwrapping, false, {});
    EXPECT_EQ(category.id(), "Redirect Unwrapping");
    EXPECT_EQ(category.type(), RuleCategoryType::redirectUnwrapping);
    EXPECT_FALSE(category.isEnabled());
    EXPECT_EQ(category.matchCount(), 0);
    EXPECT_EQ(category.totalMatchCount(), 0);
    EXPECT_EQ(category.enabledRuleCount(), 0);
}

TEST(RuleCategoryTest, TotalMatchCountSumsEntriesOnly) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    struct Case {
        std::int64_t own;
        std::vector<std::int64_t> entries;
        std::int64_t expected;
    };
    const Case cases[] = {
        {5, {2, 3}, 5},
        {5, {0, 0}, 0},
        {0, {1, 10, 100}, 111},
        // Counts come back from the store and from imported files at any size;
        // the total stops at the limits instead of overflowing.
        {0, {kMax, 1}, kMax},
        {0, {kMax, kMax, -5}, kMax},
        {0, {kMin, -1}, kMin},
        {0, {kMax, kMin}, -1},
    };
    for (const Case& c : cases) {
        RuleCategory::Rules rules;
        for (std::int64_t count : c.entries) {
            rules.push_back(entry("p" + std::to_string(rules.size()), true, count));
        }
        RuleCategory category(RuleCategoryType::analytics, true, std::move(rules));
        category.setMatchCount(c.own);
        EXPECT_EQ(category.totalMatchCount(), c.expected);
    }
}

TEST(RuleCategoryTest, EnabledRuleCountIgnoresTheCategorySwitch) {
    auto a = entry("a", true);
    RuleCategory category(RuleCategoryType::custom, false,
                          {a, entry("b", true), entry("c", false)});
    EXPECT_EQ(category.enabledRuleCount(), 2);
    // Entries are shared: switching one through another holder shows here.
    a->setIsEnabled(false);
    EXPECT_EQ(category.enabledRuleCount(), 1);
}

TEST(RuleCategoryTest, ObserversRunBeforeTheValueChanges) {
    RuleCategory category(RuleCategoryType::custom, true, {entry("a", true)});
    std::vector<std::string> seen;
    Connection will = category.objectWillChange().connect(
        [&] { seen.push_back("will rules=" + std::to_string(category.rules().size())); });
    Connection rules = category.rulesPublisher().connect([&](const RuleCategory::Rules& next) {
        seen.push_back("rules " + std::to_string(category.rules().size()) + "->" +
                       std::to_string(next.size()));
    });
    Connection enabled = category.isEnabledPublisher().connect([&](const bool& next) {
        seen.push_back("enabled " + std::to_string(category.isEnabled()) + "->" +
                       std::to_string(next));
    });
    Connection count = category.matchCountPublisher().connect([&](const std::int64_t& next) {
        seen.push_back("count " + std::to_string(category.matchCount()) + "->" +
                       std::to_string(next));
    });

    category.setRules({});
    category.setIsEnabled(false);
    category.setMatchCount(2);

    EXPECT_EQ(seen, (std::vector<std::string>{"will rules=1", "rules 1->0", "will rules=0",
                                              "enabled 1->0", "will rules=0", "count 0->2"}));
}

TEST(RuleCategoryTest, EntryWithIDFindsTheFirstOfAnIdInTheCurrentList) {
    auto first = entry("a", true);
    auto second = entry("a", false);
    auto other = entry("b", true);
    RuleCategory category(RuleCategoryType::custom, true, {first, second, other});
    EXPECT_EQ(category.entryWithID("Custom:a"), first.get());
    EXPECT_EQ(category.entryWithID("Custom:b"), other.get());
    EXPECT_EQ(category.entryWithID("custom:a"), nullptr);  // case-sensitive
    EXPECT_EQ(category.entryWithID("a"), nullptr);

    // An observer of the list still sees the old list answer for the old list.
    RuleEntry* seenDuringChange = nullptr;
    Connection c = category.rulesPublisher().connect(
        [&](const RuleCategory::Rules&) { seenDuringChange = category.entryWithID("Custom:b"); });
    category.setRules({second, first});
    EXPECT_EQ(seenDuringChange, other.get());
    EXPECT_EQ(category.entryWithID("Custom:a"), second.get());
    EXPECT_EQ(category.entryWithID("Custom:b"), nullptr);
}

TEST(RuleCategoryTest, RoundTripsThroughJson) {
    auto decoded = RuleCategory::decode(storedCategory().dump());
    ASSERT_TRUE(decoded.ok()) << decoded.error().message;
    const RuleCategory& category = **decoded;
    EXPECT_EQ(category.type(), RuleCategoryType::custom);
    EXPECT_TRUE(category.isEnabled());
    EXPECT_EQ(category.matchCount(), 9);
    ASSERT_EQ(category.rules().size(), 2u);
    EXPECT_EQ(category.rules()[0]->id(), "Custom:a");
    EXPECT_EQ(category.rules()[1]->matchCount(), 1);
    EXPECT_EQ(category.totalMatchCount(), 5);
    EXPECT_EQ(category.toJson(), storedCategory());
    EXPECT_EQ(Json::parse(category.encoded()), storedCategory());
}

TEST(RuleCategoryTest, StoredIdIsIgnored) {
    Json json = storedCategory();
    json["id"] = "Something else entirely";
    auto decoded = RuleCategory::decode(json.dump());
    ASSERT_TRUE(decoded.ok()) << decoded.error().message;
    EXPECT_EQ((*decoded)->id(), "Custom");

    json.erase("id");
    EXPECT_TRUE(RuleCategory::decode(json.dump()).ok());
    json["id"] = 17;  // never read, so its type does not matter either
    EXPECT_TRUE(RuleCategory::decode(json.dump()).ok());
}

TEST(RuleCategoryTest, DecodeFailsAsAWhole) {
    for (const char* key : {"type", "isEnabled", "matchCount", "rules"}) {
        Json missing = storedCategory();
        missing.erase(key);
        EXPECT_FALSE(RuleCategory::decode(missing.dump()).ok()) << "missing " << key;
        Json null = storedCategory();
        null[key] = nullptr;
        EXPECT_FALSE(RuleCategory::decode(null.dump()).ok()) << "null " << key;
    }

    struct Case {
        const char* name;
        Json json;
    };
    std::vector<Case> cases;
    cases.push_back({"unknown type", storedCategory()});
    cases.back().json["type"] = "custom";
    cases.push_back({"rules not an array", storedCategory()});
    cases.back().json["rules"] = Json::object();
    cases.push_back({"entry with unknown source", storedCategory()});
    cases.back().json["rules"][1]["source"] = "User";
    cases.push_back({"entry without matchCount", storedCategory()});
    cases.back().json["rules"][0].erase("matchCount");
    cases.push_back({"matchCount as text", storedCategory()});
    cases.back().json["matchCount"] = "9";
    for (const Case& c : cases) {
        EXPECT_FALSE(RuleCategory::decode(c.json.dump()).ok()) << c.name;
    }
}

}  // namespace
}  // namespace scourlet

// Switches, match counts and custom rules kept in the settings store; export,
// import, reset and reload.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ScourletCore/platform/FileUserDefaults.h"
#include "ScourletCore/rules/RulesEngine.h"
#include "rules/RulesEngineTestSupport.h"
#include "support/ForkedProcesses.h"
#include "support/TempDir.h"

namespace scourlet {
namespace {

using testing::categoryOf;
using ::testing::ElementsAre;
using testing::entryIDs;
using testing::entryOf;
using ::testing::IsEmpty;
using testing::providersFile;

const std::string kRules = providersFile(R"(
    "example analytics": {"urlPattern": "^https?://example\\.com", "rules": ["utm_source", "sid"]},
    "other analytics": {"urlPattern": "^https?://other\\.example", "rules": ["sid"]},
    "facebook": {"urlPattern": "^https?://facebook\\.com", "rules": ["fb_ref"]})");
const std::string kSupplementary = providersFile(
    R"("extra analytics": {"urlPattern": "^https?://extra\\.example", "rules": ["x"]})");

Json stored(const UserDefaults& defaults, std::string_view key) {
    const auto data = defaults.dataForKey(key);
    if (!data) {
        return nullptr;
    }
    return Json::parse(data->begin(), data->end());
}

void store(UserDefaults& defaults, std::string_view key, std::string_view json) {
    defaults.setData(key, DefaultsData(json.begin(), json.end()));
}

std::string customRecord(std::string_view pattern, bool enabled, int count) {
    const std::string p(pattern);
    return R"({"id":"Custom:)" + p + R"(","pattern":")" + p + R"(","displayName":")" + p +
           R"(","category":"Custom","source":"Custom","isEnabled":)" +
           (enabled ? "true" : "false") + R"(,"matchCount":)" + std::to_string(count) + "}";
}

std::size_t customRecordCount(const RulesEngine& engine) {
    std::size_t count = 0;
    for (const auto& rule : engine.fallbackRules()) {
        count += rule.origin == RulesEngine::FallbackRule::Origin::custom ? 1 : 0;
    }
    return count;
}

class RulesEngineStateTest : public ::testing::Test {
protected:
    RulesEngineStateTest() { engine().loadRules(kRules); }

    RulesEngine& engine() { return *f_.engine; }
    UserDefaults& defaults() { return *f_.defaults; }
    RuleCategory& category(RuleCategoryType type) { return *categoryOf(engine(), type); }
    RuleEntry* entry(RuleCategoryType type, std::string_view id) {
        return entryOf(engine(), type, id);
    }

    testing::EngineFixture f_;
};

TEST_F(RulesEngineStateTest, SaveEnabledStatesWritesEveryCategoryAndEveryEntry) {
    engine().addCustomRule("tracking_id", "Tracking ID", RuleCategoryType::custom);
    category(RuleCategoryType::socialMedia).setIsEnabled(false);
    engine().saveEnabledStates();

    const Json states = stored(defaults(), RulesEngine::enabledStateKey);
    ASSERT_TRUE(states.is_object());
    std::set<std::string> expectedKeys;
    for (const auto& c : engine().categories.get()) {
        expectedKeys.insert("cat:" + c->id());
        for (const auto& e : c->rules()) {
            expectedKeys.insert("rule:" + e->id());
        }
    }
    std::set<std::string> keys;
    for (const auto& [key, value] : states.items()) {
        keys.insert(key);
        EXPECT_TRUE(value.is_boolean()) << key;
    }
    EXPECT_EQ(keys, expectedKeys);
    EXPECT_EQ(states["cat:Social Media"], false);
    EXPECT_EQ(states["cat:Analytics"], true);
    EXPECT_EQ(states["rule:Custom:tracking_id"], true);
    EXPECT_EQ(states["rule:Analytics:utm_*"], true);
}

// The state objects are written as text directly rather than through a JSON
// value; they must decode to what assigning every key in list order to a JSON
// object gives, whatever the ids hold and however large the counts.
TEST_F(RulesEngineStateTest, SavedStatesDecodeToTheObjectTheJsonWriterWouldStore) {
    using namespace std::string_literals;
    using Entry = std::shared_ptr<RuleEntry>;
    auto makeEntry = [](std::string id, RuleCategoryType category, bool enabled,
                        std::int64_t count) {
        auto e = std::make_shared<RuleEntry>(std::move(id), "p", "p", category,
                                             RuleEntry::RuleSource::custom, enabled);
        e->setMatchCount(count);
        return e;
    };
    auto makeCategory = [](RuleCategoryType type, bool enabled, std::int64_t count,
                           std::vector<Entry> entries) {
        auto c = std::make_shared<RuleCategory>(type, enabled, std::move(entries));
        c->setMatchCount(count);
        return c;
    };
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    constexpr auto analytics = RuleCategoryType::analytics;
    constexpr auto custom = RuleCategoryType::custom;
    engine().categories.set({
        makeCategory(analytics, true, kMax,
                     {makeEntry("Analytics:dup", analytics, true, 1),
                      makeEntry("Analytics:\"quoted\" and \\back\\slashed", analytics, false, kMax),
                      makeEntry("Analytics:ctl \0\x01\b\t\n\v\f\r\x1f\x7f"s, analytics, true, 2),
                      makeEntry("Analytics:h\u00e9llo \u2603 \U0001F600", analytics, false, 3),
                      makeEntry("Analytics:bad \xff\xc0\x80 lead", analytics, true, 4),
                      makeEntry("Analytics:cut \xe2\x82", analytics, false, 5),
                      makeEntry("Analytics:cut \xf0\x9f\x98 mid, surrogate \xed\xa0\x80", analytics,
                                true, 6),
                      makeEntry("Analytics:dup", analytics, false, 7),
                      makeEntry("Analytics:", analytics, true, kMin)}),
        makeCategory(custom, false, 0, {makeEntry("Custom:x", custom, true, 8)}),
        // A second category of a type and an entry listed in another category:
        // the later listing wins.
        makeCategory(analytics, false, 9, {makeEntry("Analytics:dup", custom, true, kMax)}),
    });

    auto expect = [this](auto value) {
        nlohmann::json reference = nlohmann::json::object();
        for (const auto& c : engine().categories.get()) {
            reference["cat:" + c->id()] = value(*c);
            for (const auto& e : c->rules()) {
                reference["rule:" + e->id()] = value(*e);
            }
        }
        return nlohmann::json::parse(
            reference.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    };
    auto storedText = [this](std::string_view key) {
        const auto data = defaults().dataForKey(key);
        return data ? std::string(data->begin(), data->end()) : std::string();
    };

    engine().saveEnabledStates();
    engine().saveMatchCounts();
    const auto enabled = nlohmann::json::parse(storedText(RulesEngine::enabledStateKey));
    const auto counts = nlohmann::json::parse(storedText(RulesEngine::matchCountsKey));
    EXPECT_EQ(enabled, expect([](const auto& item) { return item.isEnabled(); }));
    EXPECT_EQ(counts, expect([](const auto& item) { return item.matchCount(); }));
    EXPECT_EQ(counts["rule:Analytics:dup"], kMax);
    EXPECT_EQ(counts["cat:Analytics"], 9);
    EXPECT_EQ(counts["rule:Analytics:"], kMin);
    EXPECT_TRUE(counts.contains("rule:Analytics:cut \xEF\xBF\xBD"));
}

TEST_F(RulesEngineStateTest, SwitchesAndCountsComeBackAfterEveryLoadAndRestart) {
    category(RuleCategoryType::analytics).setIsEnabled(false);
    entry(RuleCategoryType::socialMedia, "Social Media:fb_ref")->setIsEnabled(false);
    engine().recordMatch("Social Media:fbclid", RuleCategoryType::socialMedia);
    engine().recordMatch("Social Media:fbclid", RuleCategoryType::socialMedia);
    engine().saveEnabledStates();
    engine().saveMatchCounts();

    auto check = [](const RulesEngine& e, const char* when) {
        EXPECT_FALSE(e.isCategoryEnabled(RuleCategoryType::analytics)) << when;
        EXPECT_FALSE(e.isRuleEnabled("Social Media:fb_ref", RuleCategoryType::socialMedia)) << when;
        EXPECT_EQ(categoryOf(e, RuleCategoryType::socialMedia)->matchCount(), 2) << when;
        EXPECT_EQ(entryOf(e, RuleCategoryType::socialMedia, "Social Media:fbclid")->matchCount(), 2)
            << when;
        EXPECT_EQ(entryOf(e, RuleCategoryType::socialMedia, "Social Media:ttclid")->matchCount(), 0)
            << when;
    };
    engine().loadRules(kRules);
    check(engine(), "after loadRules");
    engine().loadSupplementaryRules(kSupplementary);
    check(engine(), "after loadSupplementaryRules");
    auto restarted = f_.restarted();
    restarted->loadRuleBundle(kRules, kSupplementary);
    check(*restarted, "after a restart");
}

TEST_F(RulesEngineStateTest, StoredSwitchOfTheUtmEntryTurnsTheUtmFallbackOff) {
    store(defaults(), RulesEngine::enabledStateKey, R"({"rule:Analytics:utm_*": false})");
    engine().loadRules(kRules);
    EXPECT_FALSE(entry(RuleCategoryType::analytics, "Analytics:utm_*")->isEnabled());
    EXPECT_FALSE(engine().shouldStripParamFallback("utm_medium"));
    EXPECT_TRUE(engine().isCategoryEnabled(RuleCategoryType::analytics));
}

TEST_F(RulesEngineStateTest, OneStoredKeySetsEveryEntryOfThatId) {
    // "sid" appears in two analytics providers: two entries, one id.
    const auto ids = entryIDs(category(RuleCategoryType::analytics));
    EXPECT_EQ(std::count(ids.begin(), ids.end(), "Analytics:sid"), 2);
    store(defaults(), RulesEngine::enabledStateKey, R"({"rule:Analytics:sid": false})");
    engine().loadRules(kRules);
    for (const auto& e : category(RuleCategoryType::analytics).rules()) {
        EXPECT_EQ(e->isEnabled(), e->id() != "Analytics:sid") << e->id();
    }
}

TEST_F(RulesEngineStateTest, ResetMatchCountsZeroesEverythingAndForgetsTheStoredCounts) {
    store(defaults(), RulesEngine::customRulesKey, "[" + customRecord("kept", true, 7) + "]");
    engine().loadRules(kRules);
    engine().recordMatch("Analytics:utm_source", RuleCategoryType::analytics);
    engine().recordMatch("Custom:kept", RuleCategoryType::custom);
    engine().saveMatchCounts();
    ASSERT_EQ(entry(RuleCategoryType::custom, "Custom:kept")->matchCount(), 8);

    engine().resetMatchCounts();
    EXPECT_FALSE(defaults().contains(RulesEngine::matchCountsKey));
    for (const auto& c : engine().categories.get()) {
        EXPECT_EQ(c->matchCount(), 0);
        EXPECT_EQ(c->totalMatchCount(), 0);
    }
    // The reset lasts: neither a load nor a restart brings back the count of
    // the custom rule's stored record.
    engine().loadRules(kRules);
    EXPECT_EQ(entry(RuleCategoryType::analytics, "Analytics:utm_source")->matchCount(), 0);
    EXPECT_EQ(category(RuleCategoryType::analytics).matchCount(), 0);
    EXPECT_EQ(entry(RuleCategoryType::custom, "Custom:kept")->matchCount(), 0);
    auto restarted = f_.restarted();
    restarted->loadRules(kRules);
    EXPECT_EQ(entryOf(*restarted, RuleCategoryType::custom, "Custom:kept")->matchCount(), 0);
}

TEST_F(RulesEngineStateTest, ImportedCustomCountStaysResetAfterARestart) {
    ASSERT_TRUE(engine().importRules(R"([{"id": "Custom", "type": "Custom", "isEnabled": true,
        "matchCount": 0, "rules": [)" + customRecord("imported", true, 9) + "]}]"));
    ASSERT_EQ(entry(RuleCategoryType::custom, "Custom:imported")->matchCount(), 9);
    engine().resetMatchCounts();
    auto restarted = f_.restarted();
    restarted->loadRules(kRules);
    EXPECT_EQ(entryOf(*restarted, RuleCategoryType::custom, "Custom:imported")->matchCount(), 0);
}

TEST_F(RulesEngineStateTest, CustomRuleAddedAgainAfterRemovalStartsFromZero) {
    engine().addCustomRule("again", "Again", RuleCategoryType::custom);
    engine().recordMatch("Custom:again", RuleCategoryType::custom);
    engine().recordMatch("Custom:again", RuleCategoryType::custom);
    engine().saveMatchCounts();
    engine().removeCustomRule("Custom:again");
    engine().addCustomRule("again", "Again", RuleCategoryType::custom);
    EXPECT_EQ(entry(RuleCategoryType::custom, "Custom:again")->matchCount(), 0);
    auto restarted = f_.restarted();
    restarted->loadRules(kRules);
    EXPECT_EQ(entryOf(*restarted, RuleCategoryType::custom, "Custom:again")->matchCount(), 0);
}

TEST_F(RulesEngineStateTest, AddedCustomRuleIsListedStoredAndMatchesOneWholeName) {
    engine().addCustomRule("tracking_id", "Tracking ID", RuleCategoryType::custom);

    const RuleEntry& added = *category(RuleCategoryType::custom).rules().back();
    EXPECT_EQ(added.id(), "Custom:tracking_id");
    EXPECT_EQ(added.displayName(), "Tracking ID");
    EXPECT_EQ(added.source(), RuleEntry::RuleSource::custom);
    EXPECT_TRUE(added.isEnabled());
    EXPECT_EQ(added.matchCount(), 0);
    for (const char* name : {"tracking_id", "TRACKING_ID"}) {
        const auto found = engine().shouldStripParamFallback(name);
        ASSERT_TRUE(found) << name;
        EXPECT_EQ(found->ruleID, "Custom:tracking_id");
        EXPECT_EQ(found->category, RuleCategoryType::custom);
    }
    EXPECT_FALSE(engine().shouldStripParamFallback("tracking_id2"));

    const Json customRules = stored(defaults(), RulesEngine::customRulesKey);
    ASSERT_TRUE(customRules.is_array());
    ASSERT_EQ(customRules.size(), 1u);
    EXPECT_EQ(customRules[0]["id"], "Custom:tracking_id");
    EXPECT_EQ(stored(defaults(), RulesEngine::enabledStateKey)["rule:Custom:tracking_id"], true);

    auto restarted = f_.restarted();
    restarted->loadRules(kRules);
    EXPECT_THAT(entryIDs(*restarted, RuleCategoryType::custom), ElementsAre("Custom:tracking_id"));
    EXPECT_TRUE(restarted->shouldStripParamFallback("Tracking_Id"));
}

TEST_F(RulesEngineStateTest, CustomPatternsMatchLiterally) {
    engine().addCustomRule("a.b", "a.b", RuleCategoryType::custom);
    engine().addCustomRule("utm_*", "utm_*", RuleCategoryType::custom);
    const auto& rules = engine().fallbackRules();
    const Regex& dotted = rules[rules.size() - 2].regex;
    const Regex& starred = rules.back().regex;
    EXPECT_TRUE(dotted.matches("A.B"));
    EXPECT_FALSE(dotted.matches("axb"));
    EXPECT_TRUE(starred.matches("utm_*"));
    EXPECT_FALSE(starred.matches("utm_"));
    EXPECT_FALSE(starred.matches("utm_source"));
}

TEST_F(RulesEngineStateTest, RemovingACustomRuleRemovesEveryCopyOfIt) {
    engine().addCustomRule("dup", "Dup", RuleCategoryType::custom);
    engine().addCustomRule("dup", "Dup again", RuleCategoryType::custom);
    EXPECT_THAT(entryIDs(engine(), RuleCategoryType::custom),
                ElementsAre("Custom:dup", "Custom:dup"));
    EXPECT_EQ(customRecordCount(engine()), 2u);

    engine().removeCustomRule("Custom:dup");
    EXPECT_THAT(entryIDs(engine(), RuleCategoryType::custom), IsEmpty());
    EXPECT_EQ(customRecordCount(engine()), 0u);
    EXPECT_FALSE(engine().shouldStripParamFallback("dup"));
    EXPECT_EQ(stored(defaults(), RulesEngine::customRulesKey), Json::array());
}

// A custom rule may carry the id of a built-in rule ("si" in Analytics is
// "Analytics:si"); taking the custom rule away must leave the built-in one.
TEST_F(RulesEngineStateTest, RemovingCustomRulesNeverTakesABuiltInRuleAlong) {
    const std::size_t builtInRecords = engine().fallbackRules().size();
    auto expectBuiltInSiIntact = [this, builtInRecords](const char* after) {
        EXPECT_EQ(engine().fallbackRules().size(), builtInRecords) << after;
        const auto found = engine().shouldStripParamFallback("si");
        ASSERT_TRUE(found) << after;
        EXPECT_EQ(found->ruleID, "Analytics:si");
        const RuleEntry* listed = entry(RuleCategoryType::analytics, "Analytics:si");
        ASSERT_NE(listed, nullptr) << after;
        EXPECT_EQ(listed->source(), RuleEntry::RuleSource::fallback) << after;
    };

    engine().addCustomRule("si", "si", RuleCategoryType::analytics);
    engine().removeCustomRule("Analytics:si");
    expectBuiltInSiIntact("removeCustomRule");

    engine().addCustomRule("si", "si", RuleCategoryType::analytics);
    engine().resetToDefaults();
    expectBuiltInSiIntact("resetToDefaults");

    engine().addCustomRule("si", "si", RuleCategoryType::analytics);
    defaults().removeObject(RulesEngine::customRulesKey);
    engine().reloadPersistedState();
    expectBuiltInSiIntact("reloadPersistedState");

    // The id of a built-in rule with no custom rule behind it removes nothing.
    engine().removeCustomRule("Social Media:fbclid");
    EXPECT_TRUE(engine().shouldStripParamFallback("fbclid"));
    EXPECT_NE(entry(RuleCategoryType::socialMedia, "Social Media:fbclid"), nullptr);
}

// The switch and count the user gives a custom rule must outlive a load, a
// restart and a reload, as those of every other rule do.
TEST_F(RulesEngineStateTest, CustomRuleSwitchAndCountSurviveLoadRestartAndReload) {
    engine().addCustomRule("tracking_id", "Tracking ID", RuleCategoryType::custom);
    entry(RuleCategoryType::custom, "Custom:tracking_id")->setIsEnabled(false);
    engine().recordMatch("Custom:tracking_id", RuleCategoryType::custom);
    engine().recordMatch("Custom:tracking_id", RuleCategoryType::custom);
    engine().saveEnabledStates();
    engine().saveMatchCounts();

    auto check = [](const RulesEngine& e, const char* after) {
        const RuleEntry* custom = entryOf(e, RuleCategoryType::custom, "Custom:tracking_id");
        ASSERT_NE(custom, nullptr) << after;
        EXPECT_FALSE(custom->isEnabled()) << after;
        EXPECT_EQ(custom->matchCount(), 2) << after;
        EXPECT_FALSE(e.shouldStripParamFallback("tracking_id")) << after;
        EXPECT_EQ(entryIDs(e, RuleCategoryType::custom).size(), 1u) << after;
    };
    engine().reloadPersistedState();
    check(engine(), "reloadPersistedState");
    engine().loadRules(kRules);
    check(engine(), "loadRules");
    auto restarted = f_.restarted();
    restarted->loadRules(kRules);
    check(*restarted, "a restart");
}

TEST_F(RulesEngineStateTest, StoredCustomRecordHoldsWhenNoKeyWasSaved) {
    store(defaults(), RulesEngine::customRulesKey,
          "[" + customRecord("off_rule", false, 5) + "," + customRecord("on_rule", true, 0) + "]");
    engine().loadRules(kRules);
    EXPECT_THAT(entryIDs(engine(), RuleCategoryType::custom),
                ElementsAre("Custom:off_rule", "Custom:on_rule"));
    EXPECT_FALSE(entry(RuleCategoryType::custom, "Custom:off_rule")->isEnabled());
    EXPECT_EQ(entry(RuleCategoryType::custom, "Custom:off_rule")->matchCount(), 5);
    EXPECT_FALSE(engine().shouldStripParamFallback("off_rule"));
    EXPECT_TRUE(engine().shouldStripParamFallback("on_rule"));
}

TEST_F(RulesEngineStateTest, ExportThenImportChangesNothingButSavesBothStores) {
    engine().addCustomRule("tracking_id", "Tracking ID", RuleCategoryType::custom);
    category(RuleCategoryType::advertising).setIsEnabled(false);
    defaults().removeObject(RulesEngine::enabledStateKey);
    defaults().removeObject(RulesEngine::customRulesKey);
    const auto exported = engine().exportRules();
    ASSERT_TRUE(exported);

    const auto imported = engine().importRules(*exported);
    ASSERT_TRUE(imported);
    EXPECT_EQ(*imported, (RulesEngine::ImportSummary{8, 0}));  // the rule is listed already
    EXPECT_EQ(engine().exportRules(), exported);
    EXPECT_EQ(customRecordCount(engine()), 1u);
    EXPECT_EQ(stored(defaults(), RulesEngine::enabledStateKey)["cat:Advertising"], false);
    EXPECT_EQ(stored(defaults(), RulesEngine::customRulesKey).size(), 1u);

    testing::EngineFixture empty;
    EXPECT_EQ(empty.engine->exportRules(), "[]");
    // Before a load no category takes anything over: the import decodes but applies nothing.
    const auto intoEmpty = empty.engine->importRules(*exported);
    ASSERT_TRUE(intoEmpty);
    EXPECT_EQ(*intoEmpty, (RulesEngine::ImportSummary{0, 0}));
    EXPECT_FALSE(empty.defaults->contains(RulesEngine::customRulesKey));
}

TEST_F(RulesEngineStateTest, ImportTakesCategorySwitchesAndAddsOnlyNewCustomEntries) {
    engine().addCustomRule("already", "Already", RuleCategoryType::socialMedia);
    // A custom entry of category Custom filed under Social Media, a ClearURLs entry
    // with a changed switch, and a custom entry whose id is already listed.
    const std::string file = R"([
        {"id": "ignored", "type": "Social Media", "isEnabled": false, "matchCount": 99, "rules": [
            {"id": "Custom:moved", "pattern": "moved", "displayName": "Moved", "category": "Custom",
             "source": "Custom", "isEnabled": true, "matchCount": 3},
            {"id": "Social Media:fb_ref", "pattern": "fb_ref", "displayName": "x",
             "category": "Social Media", "source": "ClearURLs", "isEnabled": false, "matchCount": 5},
            {"id": "Social Media:already", "pattern": "other", "displayName": "Other",
             "category": "Social Media", "source": "Custom", "isEnabled": false, "matchCount": 1}]}
    ])";
    const auto imported = engine().importRules(file);
    ASSERT_TRUE(imported);
    EXPECT_EQ(*imported, (RulesEngine::ImportSummary{1, 1}));

    RuleCategory& social = category(RuleCategoryType::socialMedia);
    EXPECT_FALSE(social.isEnabled());
    EXPECT_EQ(social.matchCount(), 0);
    EXPECT_TRUE(entry(RuleCategoryType::socialMedia, "Social Media:fb_ref")->isEnabled());
    EXPECT_EQ(entry(RuleCategoryType::socialMedia, "Social Media:already")->pattern(), "already");
    const RuleEntry& moved = *social.rules().back();
    EXPECT_EQ(moved.id(), "Custom:moved");
    EXPECT_EQ(moved.matchCount(), 3);
    EXPECT_EQ(engine().fallbackRules().back().ruleID, "Custom:moved");
    EXPECT_EQ(engine().fallbackRules().back().category, RuleCategoryType::custom);
    const auto found = engine().shouldStripParamFallback("moved");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->category, RuleCategoryType::custom);
    EXPECT_EQ(customRecordCount(engine()), 2u);
    EXPECT_EQ(stored(defaults(), RulesEngine::enabledStateKey)["cat:Social Media"], false);
    EXPECT_EQ(stored(defaults(), RulesEngine::customRulesKey).size(), 2u);
}

TEST_F(RulesEngineStateTest, ImportOfUndecodableDataChangesNothing) {
    const std::string bad[] = {
        "not json",
        R"({"type": "Custom"})",
        R"([{"type": "Analytics", "isEnabled": false, "rules": []}])",  // no matchCount
        R"([{"type": "Analytics", "isEnabled": false, "matchCount": 0, "rules": [{"id": "x"}]}])",
        R"([{"type": "Unknown", "isEnabled": false, "matchCount": 0, "rules": []}])",
    };
    for (const std::string& data : bad) {
        EXPECT_FALSE(engine().importRules(data)) << data;
        EXPECT_TRUE(engine().isCategoryEnabled(RuleCategoryType::analytics)) << data;
        EXPECT_FALSE(defaults().contains(RulesEngine::enabledStateKey)) << data;
        EXPECT_FALSE(defaults().contains(RulesEngine::customRulesKey)) << data;
    }
}

TEST_F(RulesEngineStateTest, ResetToDefaultsKeepsOnlyTheMatchCounts) {
    engine().addCustomRule("tracking_id", "Tracking ID", RuleCategoryType::custom);
    category(RuleCategoryType::analytics).setIsEnabled(false);
    entry(RuleCategoryType::socialMedia, "Social Media:fbclid")->setIsEnabled(false);
    engine().recordMatch("Social Media:fbclid", RuleCategoryType::socialMedia);
    engine().saveEnabledStates();
    engine().saveMatchCounts();

    engine().resetToDefaults();
    for (const auto& c : engine().categories.get()) {
        EXPECT_TRUE(c->isEnabled());
        for (const auto& e : c->rules()) {
            EXPECT_TRUE(e->isEnabled()) << e->id();
            EXPECT_NE(e->source(), RuleEntry::RuleSource::custom) << e->id();
        }
    }
    EXPECT_EQ(customRecordCount(engine()), 0u);
    EXPECT_FALSE(defaults().contains(RulesEngine::enabledStateKey));
    EXPECT_FALSE(defaults().contains(RulesEngine::customRulesKey));
    EXPECT_EQ(entry(RuleCategoryType::socialMedia, "Social Media:fbclid")->matchCount(), 1);
    EXPECT_EQ(stored(defaults(), RulesEngine::matchCountsKey)["rule:Social Media:fbclid"], 1);
}

TEST_F(RulesEngineStateTest, ReloadTakesOverWhatAnotherEngineStored) {
    auto other = f_.restarted();
    other->loadRules(kRules);
    other->addCustomRule("from_app", "From app", RuleCategoryType::custom);
    categoryOf(*other, RuleCategoryType::ecommerce)->setIsEnabled(false);
    other->saveEnabledStates();

    for (int i = 0; i < 3; ++i) {
        engine().reloadPersistedState();
        EXPECT_THAT(entryIDs(engine(), RuleCategoryType::custom), ElementsAre("Custom:from_app"));
        EXPECT_EQ(customRecordCount(engine()), 1u);
        EXPECT_FALSE(engine().isCategoryEnabled(RuleCategoryType::ecommerce));
    }

    // Before any load the custom rules are listed nowhere, yet reloading twice
    // must not leave two records behind.
    testing::EngineFixture unloaded;
    unloaded.defaults->setData(RulesEngine::customRulesKey,
                               *f_.defaults->dataForKey(RulesEngine::customRulesKey));
    unloaded.engine->reloadPersistedState();
    unloaded.engine->reloadPersistedState();
    EXPECT_EQ(customRecordCount(*unloaded.engine), 1u);
    EXPECT_TRUE(unloaded.engine->shouldStripParamFallback("from_app"));
}

TEST_F(RulesEngineStateTest, UndecodableStoredValuesCountAsAbsent) {
    struct Case {
        std::string_view key;
        std::string value;
    };
    const Case cases[] = {
        {RulesEngine::enabledStateKey, "not json"},
        {RulesEngine::enabledStateKey, R"(["cat:Analytics"])"},
        {RulesEngine::enabledStateKey, R"({"cat:Analytics": false, "rule:Analytics:si": "no"})"},
        {RulesEngine::enabledStateKey, R"({"cat:Analytics": 0})"},
        {RulesEngine::matchCountsKey, R"({"cat:Analytics": 4, "rule:Analytics:si": 1.5})"},
        {RulesEngine::matchCountsKey, R"({"cat:Analytics": true})"},
        {RulesEngine::customRulesKey, R"({"id": "Custom:x"})"},
        {RulesEngine::customRulesKey,
         "[" + customRecord("good", true, 0) + R"(, {"id": "Custom:bad"}])"},
    };
    for (const Case& c : cases) {
        testing::EngineFixture fresh;
        store(*fresh.defaults, c.key, c.value);
        fresh.engine->loadRules(kRules);
        EXPECT_TRUE(fresh.engine->isCategoryEnabled(RuleCategoryType::analytics)) << c.value;
        EXPECT_EQ(categoryOf(*fresh.engine, RuleCategoryType::analytics)->matchCount(), 0)
            << c.value;
        EXPECT_THAT(entryIDs(*fresh.engine, RuleCategoryType::custom), IsEmpty()) << c.value;
    }
    // A value stored as a string rather than data is not read either.
    testing::EngineFixture asString;
    asString.defaults->setString(RulesEngine::enabledStateKey, R"({"cat:Analytics": false})");
    asString.engine->loadRules(kRules);
    EXPECT_TRUE(asString.engine->isCategoryEnabled(RuleCategoryType::analytics));
}

// Engines of several processes over one settings file (the application and
// browser hosts) changing switches, custom rules and counts at the same time:
// every process's change is kept and the counts add up.
TEST(RulesEngineProcesses, SwitchesCustomRulesAndCountsOfSeveralProcessesAreAllKept) {
    constexpr int kProcesses = 3;
    constexpr int kMatches = 10;
    testing::TempDir dir;
    const auto file = dir / "settings.json";
    {
        FileUserDefaults before(file);
        store(before, RulesEngine::customRulesKey, "[" + customRecord("old", true, 0) + "]");
        ASSERT_TRUE(before.synchronize());
    }
    const bool succeeded = testing::runInForkedProcesses(kProcesses, [&](int process) {
        auto defaults = std::make_shared<FileUserDefaults>(file);
        RulesEngine engine(defaults, nullptr);
        engine.loadRules(kRules);
        switch (process) {
            case 0:
                // Both entries of the id, as the rules manager switches them.
                for (const auto& e : categoryOf(engine, RuleCategoryType::analytics)->rules()) {
                    if (e->id() == "Analytics:sid") {
                        e->setIsEnabled(false);
                    }
                }
                engine.removeCustomRule("Custom:old");
                break;
            case 1:
                entryOf(engine, RuleCategoryType::socialMedia, "Social Media:fb_ref")
                    ->setIsEnabled(false);
                break;
            default:
                categoryOf(engine, RuleCategoryType::advertising)->setIsEnabled(false);
                break;
        }
        engine.saveEnabledStates();
        engine.addCustomRule("p" + std::to_string(process), "Mine", RuleCategoryType::custom);
        for (int i = 0; i < kMatches; ++i) {
            engine.recordMatch("Analytics:utm_source", RuleCategoryType::analytics);
            if (i % 3 == 0) {
                engine.saveMatchCounts();
                if (!defaults->synchronize()) {
                    return false;
                }
            }
        }
        engine.flushMatchCounts();
        return defaults->synchronize();
    });
    ASSERT_TRUE(succeeded);

    RulesEngine fresh(std::make_shared<FileUserDefaults>(file), nullptr);
    fresh.loadRules(kRules);
    EXPECT_FALSE(entryOf(fresh, RuleCategoryType::analytics, "Analytics:sid")->isEnabled());
    EXPECT_FALSE(entryOf(fresh, RuleCategoryType::socialMedia, "Social Media:fb_ref")->isEnabled());
    EXPECT_FALSE(fresh.isCategoryEnabled(RuleCategoryType::advertising));
    EXPECT_TRUE(entryOf(fresh, RuleCategoryType::analytics, "Analytics:utm_source")->isEnabled());
    EXPECT_THAT(entryIDs(*categoryOf(fresh, RuleCategoryType::custom)),
                ::testing::UnorderedElementsAre("Custom:p0", "Custom:p1", "Custom:p2"));
    EXPECT_EQ(entryOf(fresh, RuleCategoryType::analytics, "Analytics:utm_source")->matchCount(),
              kProcesses * kMatches);
    EXPECT_EQ(categoryOf(fresh, RuleCategoryType::analytics)->matchCount(), kProcesses * kMatches);
}

}  // namespace
}  // namespace scourlet

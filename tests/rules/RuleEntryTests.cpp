#include "ScourletCore/rules/RuleEntry.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace scourlet {
namespace {

std::shared_ptr<RuleEntry> makeEntry(std::optional<std::string> id = std::nullopt) {
    return std::make_shared<RuleEntry>(std::move(id), "fbclid", "Facebook click id",
                                       RuleCategoryType::socialMedia,
                                       RuleEntry::RuleSource::clearURLs, true);
}

Json storedEntry() {
    return Json::parse(R"({"id": "Analytics:utm_*", "pattern": "utm_[a-z]+",
        "displayName": "UTM", "category": "Analytics", "source": "Built-in",
        "isEnabled": false, "matchCount": 42})");
}

TEST(RuleEntryTest, IdDefaultsToCategoryAndPattern) {
    auto entry = makeEntry();
    EXPECT_EQ(entry->id(), "Social Media:fbclid");
    EXPECT_EQ(entry->pattern(), "fbclid");
    EXPECT_EQ(entry->displayName(), "Facebook click id");
    EXPECT_EQ(entry->category(), RuleCategoryType::socialMedia);
    EXPECT_EQ(entry->source(), RuleEntry::RuleSource::clearURLs);
    EXPECT_TRUE(entry->isEnabled());
    EXPECT_EQ(entry->matchCount(), 0);
}

TEST(RuleEntryTest, ExplicitIdIsKeptEvenWhenItDiffers) {
    EXPECT_EQ(makeEntry("Redirect Unwrapping:something else")->id(),
              "Redirect Unwrapping:something else");
    EXPECT_EQ(makeEntry("")->id(), "");
}

TEST(RuleEntryTest, ObserversRunBeforeTheValueChanges) {
    auto entry = makeEntry();
    std::vector<std::string> seen;
    Connection will = entry->objectWillChange().connect([&] {
        seen.push_back("will enabled=" + std::to_string(entry->isEnabled()) +
                       " count=" + std::to_string(entry->matchCount()));
    });
    Connection enabled = entry->isEnabledPublisher().connect([&](const bool& next) {
        seen.push_back("enabled " + std::to_string(entry->isEnabled()) + "->" +
                       std::to_string(next));
    });
    Connection count = entry->matchCountPublisher().connect([&](const std::int64_t& next) {
        seen.push_back("count " + std::to_string(entry->matchCount()) + "->" +
                       std::to_string(next));
    });

    entry->setIsEnabled(false);
    entry->setMatchCount(7);

    EXPECT_EQ(seen, (std::vector<std::string>{"will enabled=1 count=0", "enabled 1->0",
                                              "will enabled=0 count=0", "count 0->7"}));
    EXPECT_FALSE(entry->isEnabled());
    EXPECT_EQ(entry->matchCount(), 7);
}

TEST(RuleEntryTest, EncodesAllSevenKeys) {
    auto entry = makeEntry();
    entry->setMatchCount(3);
    EXPECT_EQ(entry->toJson(), Json::parse(R"({"id": "Social Media:fbclid", "pattern": "fbclid",
        "displayName": "Facebook click id", "category": "Social Media", "source": "ClearURLs",
        "isEnabled": true, "matchCount": 3})"));
}

TEST(RuleEntryTest, DecodeKeepsStoredIdAndCount) {
    auto decoded = RuleEntry::decode(storedEntry().dump());
    ASSERT_TRUE(decoded.ok()) << decoded.error().message;
    const RuleEntry& entry = **decoded;
    EXPECT_EQ(entry.id(), "Analytics:utm_*");
    EXPECT_EQ(entry.pattern(), "utm_[a-z]+");
    EXPECT_EQ(entry.category(), RuleCategoryType::analytics);
    EXPECT_EQ(entry.source(), RuleEntry::RuleSource::fallback);
    EXPECT_FALSE(entry.isEnabled());
    EXPECT_EQ(entry.matchCount(), 42);
    // And back to the same object.
    EXPECT_EQ(entry.toJson(), storedEntry());
}

TEST(RuleEntryTest, DecodeFailsOnAnyMissingOrNullKey) {
    for (const char* key :
         {"id", "pattern", "displayName", "category", "source", "isEnabled", "matchCount"}) {
        Json missing = storedEntry();
        missing.erase(key);
        EXPECT_FALSE(RuleEntry::decode(missing.dump()).ok()) << "missing " << key;
        Json null = storedEntry();
        null[key] = nullptr;
        EXPECT_FALSE(RuleEntry::decode(null.dump()).ok()) << "null " << key;
    }
}

TEST(RuleEntryTest, DecodeIsStrictAboutTypesAndNames) {
    struct Case {
        const char* key;
        Json value;
        bool decodes;
    };
    const Case cases[] = {
        {"matchCount", 0, true},
        {"matchCount", -1, true},
        {"matchCount", "3", false},
        {"matchCount", 1.5, false},
        {"matchCount", 18446744073709551615ULL, false},
        {"isEnabled", "true", false},
        {"isEnabled", 1, false},
        {"category", "Ecommerce", false},
        {"category", "E-commerce", true},
        {"source", "builtin", false},
        {"source", "Custom", true},
        {"id", 5, false},
        {"pattern", Json::array({"a"}), false},
    };
    for (const Case& c : cases) {
        Json json = storedEntry();
        json[c.key] = c.value;
        EXPECT_EQ(RuleEntry::decode(json.dump()).ok(), c.decodes) << c.key << " = " << c.value;
    }
}

TEST(RuleEntryTest, DecodeRejectsNonObjects) {
    EXPECT_FALSE(RuleEntry::decode("[]").ok());
    EXPECT_FALSE(RuleEntry::decode("null").ok());
    EXPECT_FALSE(RuleEntry::decode("{").ok());
}

}  // namespace
}  // namespace scourlet

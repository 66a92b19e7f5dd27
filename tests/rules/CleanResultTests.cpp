#include "ScourletCore/rules/CleanResult.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace scourlet {
namespace {

CleanOperation removalStep() {
    return CleanOperation{CleanOperationKind::localParameterRemoval,
                          "https://example.com/?utm_source=x&id=1",
                          "https://example.com/?id=1",
                          {"utm_source"},
                          false,
                          std::nullopt,
                          std::nullopt};
}

CleanResult fullResult() {
    CleanResult result;
    result.originalURL = "https://x.com/user/status/1?s=20&t=abc";
    result.cleanedURL = "https://nitter.example/user/status/1";
    result.paramsRemoved = 2;
    result.removedQueryParameters = {"s", "t"};
    result.matchedRuleIDs = {"Social Media:s", "Social Media:t"};
    result.matchedCategories = {RuleCategoryType::socialMedia, RuleCategoryType::analytics};
    result.cleanedOriginalURL = "https://x.com/user/status/1";
    result.privacyRedirect =
        PrivacyRedirectInfo{PrivacyRedirectService::xTwitter, "x.com", "nitter.example"};
    result.operations = {
        CleanOperation{CleanOperationKind::localParameterRemoval,
                       result.originalURL,
                       "https://x.com/user/status/1",
                       {"s", "t"},
                       false,
                       std::nullopt,
                       std::nullopt},
        CleanOperation{CleanOperationKind::privacyRedirect,
                       "https://x.com/user/status/1",
                       result.cleanedURL,
                       {},
                       false,
                       std::nullopt,
                       "Privacy front-end"},
        CleanOperation{CleanOperationKind::networkResolution,
                       "a",
                       "b",
                       {},
                       true,
                       "www.instagram.com",
                       std::nullopt},
    };
    return result;
}

Json minimalStored() {
    return Json::parse(
        R"({"originalURL": "https://a.example/?x=1", "cleanedURL": "https://a.example/",
            "paramsRemoved": 1})");
}

TEST(CleanResultTest, WasModifiedComparesTextWithoutCaseFolding) {
    struct Case {
        const char* original;
        const char* cleaned;
        bool modified;
    };
    const Case cases[] = {
        {"https://a.example/", "https://a.example/", false},
        {"https://a.example/Path", "https://a.example/path", true},
        {"https://a.example/?x=1", "https://a.example/", true},
        // Composed and decomposed accents are the same text.
        {"https://a.example/caf\u00e9", "https://a.example/cafe\u0301", false},
        {"https://a.example/caf\u00e9", "https://a.example/cafe", true},
    };
    for (const Case& c : cases) {
        CleanResult result{.originalURL = c.original, .cleanedURL = c.cleaned};
        EXPECT_EQ(result.wasModified(), c.modified) << c.original << " vs " << c.cleaned;
    }
}

TEST(CleanResultTest, AppendingOperationReplacesOnlyTheCleanedURLWhenGiven) {
    const CleanResult base = fullResult();
    CleanOperation step{CleanOperationKind::functionalTransformation,
                        base.cleanedURL,
                        "https://maps.example/",
                        {"q"},
                        false,
                        std::nullopt,
                        "Map link"};

    const CleanResult kept = base.appendingOperation(step, std::nullopt);
    EXPECT_EQ(kept.cleanedURL, base.cleanedURL);

    const CleanResult replaced = base.appendingOperation(step, "https://maps.example/");
    EXPECT_EQ(replaced.cleanedURL, "https://maps.example/");

    for (const CleanResult* r : {&kept, &replaced}) {
        ASSERT_EQ(r->operations.size(), base.operations.size() + 1);
        EXPECT_EQ(r->operations.back(), step);
        // The counts describe the cleaning pass; a later step does not change them.
        EXPECT_EQ(r->paramsRemoved, base.paramsRemoved);
        EXPECT_EQ(r->removedQueryParameters, base.removedQueryParameters);
        EXPECT_EQ(r->matchedRuleIDs, base.matchedRuleIDs);
        EXPECT_EQ(r->matchedCategories, base.matchedCategories);
        EXPECT_EQ(r->cleanedOriginalURL, base.cleanedOriginalURL);
        EXPECT_EQ(r->privacyRedirect, base.privacyRedirect);
    }
    EXPECT_EQ(base, fullResult()) << "the receiver must not change";

    CleanResult moved = fullResult().appendingOperation(step, "https://maps.example/");
    EXPECT_EQ(moved, replaced);
}

TEST(CleanResultTest, AbsentOptionalsAreLeftOutWhenEncoded) {
    CleanResult result{.originalURL = "https://a.example/?x=1",
                       .cleanedURL = "https://a.example/",
                       .paramsRemoved = 1,
                       .operations = {removalStep()}};
    EXPECT_EQ(result.toJson(), Json::parse(R"({
        "originalURL": "https://a.example/?x=1", "cleanedURL": "https://a.example/",
        "paramsRemoved": 1, "removedQueryParameters": [], "matchedRuleIDs": [],
        "matchedCategories": [],
        "operations": [{"kind": "local_parameter_removal",
                        "inputURL": "https://example.com/?utm_source=x&id=1",
                        "outputURL": "https://example.com/?id=1",
                        "removedParameters": ["utm_source"], "networkUsed": false}]})"));
}

TEST(CleanResultTest, EncodesPresentOptionalsAndRawValues) {
    const Json json = fullResult().toJson();
    EXPECT_EQ(json["cleanedOriginalURL"], "https://x.com/user/status/1");
    EXPECT_EQ(json["privacyRedirect"],
              Json::parse(R"({"service": "xTwitter", "originalHost": "x.com",
                              "frontendHost": "nitter.example"})"));
    std::vector<std::string> categories = json["matchedCategories"].get<std::vector<std::string>>();
    std::sort(categories.begin(), categories.end());
    EXPECT_EQ(categories, (std::vector<std::string>{"Analytics", "Social Media"}));
    EXPECT_EQ(json["operations"][1]["kind"], "privacy_redirect");
    EXPECT_EQ(json["operations"][1]["note"], "Privacy front-end");
    EXPECT_FALSE(json["operations"][1].contains("contactedHost"));
    EXPECT_EQ(json["operations"][2]["contactedHost"], "www.instagram.com");
    EXPECT_FALSE(json["operations"][2].contains("note"));
}

TEST(CleanResultTest, RoundTripsThroughJson) {
    const CleanResult results[] = {
        fullResult(),
        CleanResult{.originalURL = "https://a.example/", .cleanedURL = "https://a.example/"},
        CleanResult{.originalURL = "https://ünïcode.example/?q=ß", .cleanedURL = ""},
    };
    for (const CleanResult& result : results) {
        auto decoded = CleanResult::decode(result.encoded());
        ASSERT_TRUE(decoded.ok()) << decoded.error().message;
        EXPECT_EQ(*decoded, result) << result.encoded();
    }
}

TEST(CleanResultTest, MinimalStoredResultDecodesWithDefaults) {
    Json withNulls = minimalStored();
    for (const char* key : {"removedQueryParameters", "matchedRuleIDs", "matchedCategories",
                            "cleanedOriginalURL", "privacyRedirect", "operations"}) {
        withNulls[key] = nullptr;
    }
    Json withExtras = minimalStored();
    withExtras["wasModified"] = true;
    withExtras["futureField"] = Json::object({{"x", 1}});

    for (const Json& json : {minimalStored(), withNulls, withExtras}) {
        auto decoded = CleanResult::decode(json.dump());
        ASSERT_TRUE(decoded.ok()) << decoded.error().message;
        EXPECT_EQ(*decoded, (CleanResult{.originalURL = "https://a.example/?x=1",
                                         .cleanedURL = "https://a.example/",
                                         .paramsRemoved = 1}));
    }
}

TEST(CleanResultTest, CategoriesCompareAsASet) {
    Json json = minimalStored();
    json["matchedCategories"] = {"Social Media", "Analytics", "Social Media"};
    auto decoded = CleanResult::decode(json.dump());
    ASSERT_TRUE(decoded.ok()) << decoded.error().message;
    EXPECT_EQ(
        decoded->matchedCategories,
        (std::set<RuleCategoryType>{RuleCategoryType::analytics, RuleCategoryType::socialMedia}));
}

TEST(CleanResultTest, BadValuesFailTheWholeResult) {
    struct Case {
        const char* name;
        Json json;
    };
    std::vector<Case> cases;
    // Sets `key` to `value`, or removes it when no value is given.
    auto add = [&](const char* name, const char* key, std::optional<Json> value) {
        Json json = minimalStored();
        if (value) {
            json[key] = std::move(*value);
        } else {
            json.erase(key);
        }
        cases.push_back({name, std::move(json)});
    };
    const std::nullopt_t remove = std::nullopt;
    add("originalURL missing", "originalURL", remove);
    add("cleanedURL null", "cleanedURL", nullptr);
    add("paramsRemoved missing", "paramsRemoved", remove);
    add("paramsRemoved as a string", "paramsRemoved", "3");
    add("paramsRemoved as a fraction", "paramsRemoved", 1.5);
    add("paramsRemoved beyond 64 bits", "paramsRemoved", 18446744073709551615ULL);
    add("originalURL as a number", "originalURL", 1);
    add("removedQueryParameters as a string", "removedQueryParameters", "utm_source");
    add("matchedRuleIDs holding a number", "matchedRuleIDs", Json::array({"a", 1}));
    add("unknown category", "matchedCategories", Json::array({"Analytics", "Tracking"}));
    add("category in other case", "matchedCategories", Json::array({"analytics"}));
    add("cleanedOriginalURL as a Boolean", "cleanedOriginalURL", true);
    add("privacyRedirect missing a host", "privacyRedirect",
        Json::parse(R"({"service": "reddit", "originalHost": "reddit.com"})"));
    add("privacyRedirect with unknown service", "privacyRedirect",
        Json::parse(R"({"service": "Reddit", "originalHost": "a", "frontendHost": "b"})"));
    add("operations as an object", "operations", Json::object());
    Json unknownKind = removalStep().toJson();
    unknownKind["kind"] = "local_removal";
    add("operation with unknown kind", "operations",
        Json::array({removalStep().toJson(), unknownKind}));
    for (const Case& c : cases) {
        EXPECT_FALSE(CleanResult::decode(c.json.dump()).ok()) << c.name;
    }
    EXPECT_FALSE(CleanResult::decode("[]").ok());
    EXPECT_FALSE(CleanResult::decode("not json").ok());
}

TEST(CleanOperationTest, RequiredAndOptionalKeys) {
    const Json stored = removalStep().toJson();
    for (const char* key : {"kind", "inputURL", "outputURL", "removedParameters", "networkUsed"}) {
        Json missing = stored;
        missing.erase(key);
        EXPECT_FALSE(CleanOperation::decode(missing.dump()).ok()) << "missing " << key;
        Json null = stored;
        null[key] = nullptr;
        EXPECT_FALSE(CleanOperation::decode(null.dump()).ok()) << "null " << key;
    }

    Json nulls = stored;
    nulls["contactedHost"] = nullptr;
    nulls["note"] = nullptr;
    auto decoded = CleanOperation::decode(nulls.dump());
    ASSERT_TRUE(decoded.ok()) << decoded.error().message;
    EXPECT_EQ(*decoded, removalStep());

    struct Case {
        const char* key;
        Json value;
    };
    const Case bad[] = {
        {"networkUsed", "false"},
        {"networkUsed", 0},
        {"kind", "LOCAL_PARAMETER_REMOVAL"},
        {"kind", 0},
        {"contactedHost", 5},
        {"note", Json::array()},
        {"removedParameters", "a"},
    };
    for (const Case& c : bad) {
        Json json = stored;
        json[c.key] = c.value;
        EXPECT_FALSE(CleanOperation::decode(json.dump()).ok()) << c.key << " = " << c.value;
    }
}

TEST(CleanOperationTest, EqualityTellsAbsentFromPresent) {
    CleanOperation a = removalStep();
    CleanOperation b = removalStep();
    EXPECT_EQ(a, b);
    b.note = "";
    EXPECT_NE(a, b);
    b = removalStep();
    b.contactedHost = "example.com";
    EXPECT_NE(a, b);
    b = removalStep();
    b.removedParameters = {};
    EXPECT_NE(a, b);
}

}  // namespace
}  // namespace scourlet

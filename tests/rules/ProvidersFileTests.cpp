#include "ScourletCore/rules/ProvidersFile.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/PublicRuleSet.h"

namespace scourlet {
namespace {

std::vector<std::string> namesOf(const ProvidersFile& file) {
    std::vector<std::string> names;
    for (const auto& entry : file.providers()) {
        names.push_back(entry.first);
    }
    return names;
}

TEST(ProvidersFileTest, EmptyProviderTakesEveryDefault) {
    auto file = ProvidersFile::decode(R"({"providers": {"bare": {}}})");
    ASSERT_TRUE(file.ok()) << file.error().message;
    ASSERT_EQ(file->providers().size(), 1u);
    EXPECT_EQ(file->providers()[0].first, "bare");
    const Provider& p = file->providers()[0].second;
    EXPECT_EQ(p.urlPattern(), "");
    EXPECT_FALSE(p.completeProvider());
    EXPECT_FALSE(p.forceRedirection());
    EXPECT_TRUE(p.rules().empty());
    EXPECT_TRUE(p.rawRules().empty());
    EXPECT_TRUE(p.referralMarketing().empty());
    EXPECT_TRUE(p.exceptions().empty());
    EXPECT_TRUE(p.redirections().empty());
}

TEST(ProvidersFileTest, NullValuesReadAsAbsent) {
    auto file = ProvidersFile::decode(R"({"providers": {"p": {
        "urlPattern": null, "completeProvider": null, "rules": null, "rawRules": null,
        "referralMarketing": null, "exceptions": null, "redirections": null,
        "forceRedirection": null}}})");
    ASSERT_TRUE(file.ok()) << file.error().message;
    const Provider& p = file->providers()[0].second;
    EXPECT_EQ(p.urlPattern(), "");
    EXPECT_FALSE(p.completeProvider());
    EXPECT_TRUE(p.rules().empty());
    EXPECT_TRUE(p.redirections().empty());
    EXPECT_FALSE(p.forceRedirection());
}

TEST(ProvidersFileTest, DecodesEveryFieldAndIgnoresUnknownKeys) {
    auto file = ProvidersFile::decode(R"json({
        "version": 3,
        "providers": {
            "full": {
                "urlPattern": "^https?://example\\.com",
                "completeProvider": true,
                "rules": ["a", "b"],
                "rawRules": ["/ref=[^/]*"],
                "referralMarketing": ["tag", "a"],
                "exceptions": ["^https?://example\\.com/keep"],
                "redirections": ["^https?://example\\.com/out\\?u=([^&]*)"],
                "forceRedirection": true,
                "comment": "not a provider key",
                "getFuture": {"nested": [1, 2]}
            }
        }
    })json");
    ASSERT_TRUE(file.ok()) << file.error().message;
    const Provider& p = file->providers()[0].second;
    EXPECT_EQ(p.urlPattern(), "^https?://example\\.com");
    EXPECT_TRUE(p.completeProvider());
    EXPECT_EQ(p.rules(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(p.rawRules(), (std::vector<std::string>{"/ref=[^/]*"}));
    EXPECT_EQ(p.referralMarketing(), (std::vector<std::string>{"tag", "a"}));
    EXPECT_EQ(p.exceptions(), (std::vector<std::string>{"^https?://example\\.com/keep"}));
    EXPECT_EQ(p.redirections(),
              (std::vector<std::string>{"^https?://example\\.com/out\\?u=([^&]*)"}));
    EXPECT_TRUE(p.forceRedirection());
    // Rules first, then referral patterns, duplicates kept.
    EXPECT_EQ(p.allParamPatterns(), (std::vector<std::string>{"a", "b", "tag", "a"}));
}

TEST(ProvidersFileTest, EmptyProvidersObjectGivesNoProviders) {
    auto file = ProvidersFile::decode(R"({"providers": {}})");
    ASSERT_TRUE(file.ok()) << file.error().message;
    EXPECT_TRUE(file->providers().empty());
}

TEST(ProvidersFileTest, MalformedFilesFailAsAWhole) {
    struct Case {
        const char* name;
        const char* json;
    };
    const Case cases[] = {
        {"not JSON", R"({"providers": )"},
        {"top level is an array", R"([{"providers": {}}])"},
        {"providers missing, providers under another key", R"({"provider": {"p": {}}})"},
        {"providers null", R"({"providers": null})"},
        {"providers is an array", R"({"providers": [{}]})"},
        {"provider is null", R"({"providers": {"p": null}})"},
        {"provider is a string", R"({"providers": {"p": "x"}})"},
        {"completeProvider is a number", R"({"providers": {"p": {"completeProvider": 1}}})"},
        {"completeProvider is a string", R"({"providers": {"p": {"completeProvider": "true"}}})"},
        {"forceRedirection is a string", R"({"providers": {"p": {"forceRedirection": "no"}}})"},
        {"urlPattern is a number", R"({"providers": {"p": {"urlPattern": 5}}})"},
        {"rules is a single string", R"({"providers": {"p": {"rules": "utm_source"}}})"},
        {"rules holds a number", R"({"providers": {"p": {"rules": ["a", 1]}}})"},
        {"exceptions holds null", R"({"providers": {"p": {"exceptions": [null]}}})"},
        {"redirections is an object", R"({"providers": {"p": {"redirections": {}}}})"},
        {"one bad provider after good ones",
         R"({"providers": {"good": {"rules": ["a"]}, "bad": {"rawRules": [true]}}})"},
    };
    for (const Case& c : cases) {
        auto file = ProvidersFile::decode(c.json);
        EXPECT_FALSE(file.ok()) << c.name;
    }
}

TEST(ProvidersFileTest, ErrorNamesTheProviderAndKey) {
    auto file = ProvidersFile::decode(R"({"providers": {"shop": {"rules": "x"}}})");
    ASSERT_FALSE(file.ok());
    EXPECT_NE(file.error().message.find("shop.rules"), std::string::npos) << file.error().message;
}

TEST(ProvidersFileTest, KeepsFileOrderOfProviders) {
    auto file = ProvidersFile::decode(
        R"({"providers": {"zeta": {}, "alpha": {}, "mid": {}, "beta": {"urlPattern": "b"}}})");
    ASSERT_TRUE(file.ok()) << file.error().message;
    EXPECT_EQ(namesOf(*file), (std::vector<std::string>{"zeta", "alpha", "mid", "beta"}));
    ASSERT_NE(file->find("beta"), nullptr);
    EXPECT_EQ(file->find("beta")->urlPattern(), "b");
    EXPECT_EQ(file->find("gamma"), nullptr);
}

TEST(ProvidersFileTest, RepeatedNameKeepsFirstPlaceAndLastValue) {
    auto file = ProvidersFile::decode(
        R"({"providers": {"a": {"urlPattern": "first"}, "b": {}, "a": {"urlPattern": "last"}}})");
    ASSERT_TRUE(file.ok()) << file.error().message;
    EXPECT_EQ(namesOf(*file), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(file->find("a")->urlPattern(), "last");
}

TEST(ProvidersFileTest, DecodesThePublicRuleSetInFileOrder) {
    const auto publicRules = testing::publicRuleSet();
    if (!publicRules) {
        GTEST_SKIP() << testing::kPublicRuleSetMissing;
    }
    const std::string& text = *publicRules;
    auto file = ProvidersFile::decode(text);
    ASSERT_TRUE(file.ok()) << file.error().message;
    ASSERT_EQ(file->providers().size(), 205u);

    const auto names = namesOf(*file);
    EXPECT_EQ(
        std::vector<std::string>(names.begin(), names.begin() + 5),
        (std::vector<std::string>{"amazon", "msn", "amazon search", "fls-na.amazon", "google"}));
    EXPECT_EQ(std::vector<std::string>(names.end() - 3, names.end()),
              (std::vector<std::string>{"metro.co.uk", "forbes.com", "viglink.com"}));

    // Every provider must come where the file lists it, not only the ends.
    std::size_t previous = 0;
    for (const std::string& name : names) {
        const std::size_t at = text.find("\"" + name + "\": {");
        ASSERT_NE(at, std::string::npos) << name;
        EXPECT_GT(at, previous) << name << " is out of file order";
        previous = at;
    }

    const Provider* amazon = file->find("amazon");
    ASSERT_NE(amazon, nullptr);
    EXPECT_FALSE(amazon->completeProvider());
    ASSERT_FALSE(amazon->rules().empty());
    EXPECT_EQ(amazon->rules().front(), "p[fd]_rd_[a-z]*");
}

}  // namespace
}  // namespace scourlet

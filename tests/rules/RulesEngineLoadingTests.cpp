// Loading, compiling and categorizing rule files.
#include <chrono>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/PublicRuleSet.h"

#include "ScourletCore/config/ServiceConfiguration.h"
#include "ScourletCore/rules/RulesEngine.h"
#include "rules/RulesEngineTestSupport.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace scourlet {
namespace {

using testing::categoryOf;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::EngineFixture;
using testing::entryIDs;
using testing::entryOf;
using ::testing::IsEmpty;
using testing::providerNamed;
using testing::providerNames;
using testing::providersFile;
namespace fs = std::filesystem;

Provider decodedProvider(std::string_view providerJson) {
    auto file =
        ProvidersFile::decode(providersFile(std::string(R"("p":)") + std::string(providerJson)));
    EXPECT_TRUE(file.ok());
    return file->providers().front().second;
}

std::vector<std::string> patterns(const std::vector<RulesEngine::CompiledPattern>& compiled) {
    std::vector<std::string> out;
    for (const auto& one : compiled) {
        out.push_back(one.pattern);
    }
    return out;
}

TEST(RulesEngineLoadingTest, NewEngineHoldsNothingAndAnswersAsIfNoRuleExisted) {
    EngineFixture f;
    RulesEngine& engine = *f.engine;
    EXPECT_THAT(engine.categories.get(), IsEmpty());
    EXPECT_THAT(engine.compiledProviders(), IsEmpty());
    EXPECT_THAT(engine.fallbackRules(), IsEmpty());
    EXPECT_THAT(engine.matchingProviders("https://www.example.com/?utm_source=x"), IsEmpty());
    for (std::string_view name : RulesEngine::fallbackParams) {
        EXPECT_FALSE(engine.shouldStripParamFallback(name)) << name;
    }
    for (RuleCategoryType type : allCases<RuleCategoryType>()) {
        EXPECT_TRUE(engine.isCategoryEnabled(type));
        EXPECT_TRUE(engine.isRuleEnabled("Analytics:utm_*", type));
    }
}

TEST(RulesEngineLoadingTest, EmptyProvidersFileGivesEightCategoriesWithTheBuiltInRules) {
    EngineFixture f;
    f.engine->loadRules(providersFile(""));
    RulesEngine& engine = *f.engine;

    ASSERT_EQ(engine.categories.get().size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(engine.categories.get()[i]->type(), allCases<RuleCategoryType>()[i]);
        EXPECT_TRUE(engine.categories.get()[i]->isEnabled());
    }
    EXPECT_THAT(entryIDs(engine, RuleCategoryType::analytics),
                ElementsAre("Analytics:utm_*", "Analytics:yclid", "Analytics:si",
                            "Analytics:feature", "Analytics:pp"));
    EXPECT_THAT(entryIDs(engine, RuleCategoryType::socialMedia),
                ElementsAre("Social Media:fbclid", "Social Media:ttclid", "Social Media:twclid",
                            "Social Media:igshid"));
    EXPECT_THAT(entryIDs(engine, RuleCategoryType::advertising),
                ElementsAre("Advertising:gclid", "Advertising:gclsrc", "Advertising:msclkid"));
    EXPECT_THAT(entryIDs(engine, RuleCategoryType::emailMarketing),
                ElementsAre("Email Marketing:mc_cid", "Email Marketing:mc_eid",
                            "Email Marketing:_hsenc", "Email Marketing:_hsmi"));
    for (RuleCategoryType type :
         {RuleCategoryType::referralMarketing, RuleCategoryType::redirectUnwrapping,
          RuleCategoryType::ecommerce, RuleCategoryType::custom}) {
        EXPECT_THAT(entryIDs(engine, type), IsEmpty()) << rawValue(type);
    }

    const RuleEntry* utm = categoryOf(engine, RuleCategoryType::analytics)->rules().front().get();
    EXPECT_EQ(utm->pattern(), "utm_*");
    EXPECT_EQ(utm->displayName(), "utm_* (all UTM parameters)");
    EXPECT_EQ(utm->source(), RuleEntry::RuleSource::fallback);
    const RuleEntry* si = entryOf(engine, RuleCategoryType::analytics, "Analytics:si");
    EXPECT_EQ(si->pattern(), "si");
    EXPECT_EQ(si->displayName(), "si");

    struct Expected {
        std::string ruleID;
        RuleCategoryType category;
    };
    const std::vector<Expected> expected = {
        {"Analytics:utm_*", RuleCategoryType::analytics},
        {"Social Media:fbclid", RuleCategoryType::socialMedia},
        {"Advertising:gclid", RuleCategoryType::advertising},
        {"Advertising:gclsrc", RuleCategoryType::advertising},
        {"Advertising:msclkid", RuleCategoryType::advertising},
        {"Social Media:ttclid", RuleCategoryType::socialMedia},
        {"Social Media:twclid", RuleCategoryType::socialMedia},
        {"Email Marketing:mc_cid", RuleCategoryType::emailMarketing},
        {"Email Marketing:mc_eid", RuleCategoryType::emailMarketing},
        {"Email Marketing:_hsenc", RuleCategoryType::emailMarketing},
        {"Email Marketing:_hsmi", RuleCategoryType::emailMarketing},
        {"Analytics:yclid", RuleCategoryType::analytics},
        {"Social Media:igshid", RuleCategoryType::socialMedia},
        {"Analytics:si", RuleCategoryType::analytics},
        {"Analytics:feature", RuleCategoryType::analytics},
        {"Analytics:pp", RuleCategoryType::analytics},
    };
    ASSERT_EQ(engine.fallbackRules().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(engine.fallbackRules()[i].ruleID, expected[i].ruleID);
        EXPECT_EQ(engine.fallbackRules()[i].category, expected[i].category);
        EXPECT_EQ(engine.fallbackRules()[i].origin, RulesEngine::FallbackRule::Origin::builtIn);
    }

    const auto validation = RulesEngine::validateRuleBundle(providersFile(""), std::nullopt);
    ASSERT_FALSE(validation.ok());
    EXPECT_EQ(validation.error(), RuleUpdateError::invalidRules("No providers compiled"));
}

TEST(RulesEngineLoadingTest, BuildsRuleIdsDisplayNamesAndCategoriesPerRuleKind) {
    EngineFixture f;
    f.engine->loadRules(providersFile(R"json(
        "matomo": {"urlPattern": "^https?://stats\\.example", "rules": ["pk_campaign", "pk_kwd"],
                   "referralMarketing": ["ref"], "rawRules": ["/track/[0-9]+"]},
        "wrapper": {"urlPattern": "^https?://wrap\\.example", "rules": ["src"],
                    "redirections": ["^https?://wrap\\.example/out\\?u=([^&]+)"]})json"));
    RulesEngine& engine = *f.engine;

    // Provider entries follow the UTM entry and precede the other fallback names.
    EXPECT_THAT(entryIDs(engine, RuleCategoryType::analytics),
                ElementsAre("Analytics:utm_*", "Analytics:pk_campaign", "Analytics:pk_kwd",
                            "Analytics:/track/[0-9]+", "Analytics:yclid", "Analytics:si",
                            "Analytics:feature", "Analytics:pp"));
    EXPECT_THAT(entryIDs(engine, RuleCategoryType::referralMarketing),
                ElementsAre("Referral Marketing:ref"));
    // A provider with redirections is Redirect Unwrapping, its parameter rules too.
    EXPECT_THAT(entryIDs(engine, RuleCategoryType::redirectUnwrapping),
                ElementsAre("Redirect Unwrapping:src",
                            "Redirect Unwrapping:^https?://wrap\\.example/out\\?u=([^&]+)"));

    struct Expected {
        RuleCategoryType category;
        std::string id;
        std::string pattern;
        std::string displayName;
    };
    const Expected table[] = {
        {RuleCategoryType::analytics, "Analytics:pk_kwd", "pk_kwd", "matomo: pk_kwd"},
        {RuleCategoryType::referralMarketing, "Referral Marketing:ref", "ref", "matomo: ref"},
        {RuleCategoryType::analytics, "Analytics:/track/[0-9]+", "/track/[0-9]+",
         "matomo" + std::string(config::kRawRuleDisplaySuffix)},
        {RuleCategoryType::redirectUnwrapping, "Redirect Unwrapping:src", "src", "wrapper: src"},
        {RuleCategoryType::redirectUnwrapping,
         "Redirect Unwrapping:^https?://wrap\\.example/out\\?u=([^&]+)",
         "^https?://wrap\\.example/out\\?u=([^&]+)",
         "wrapper" + std::string(config::kRedirectionRuleDisplaySuffix)},
    };
    for (const Expected& e : table) {
        const RuleEntry* entry = entryOf(engine, e.category, e.id);
        ASSERT_NE(entry, nullptr) << e.id;
        EXPECT_EQ(entry->pattern(), e.pattern);
        EXPECT_EQ(entry->displayName(), e.displayName);
        EXPECT_EQ(entry->category(), e.category);
        EXPECT_EQ(entry->source(), RuleEntry::RuleSource::clearURLs);
        EXPECT_TRUE(entry->isEnabled());
        EXPECT_EQ(entry->matchCount(), 0);
    }

    const auto* matomo = providerNamed(engine, "matomo");
    ASSERT_NE(matomo, nullptr);
    EXPECT_EQ(matomo->category, RuleCategoryType::analytics);
    EXPECT_THAT(patterns(matomo->paramRegexes), ElementsAre("pk_campaign", "pk_kwd"));
    EXPECT_EQ(matomo->paramRegexes[0].ruleID, "Analytics:pk_campaign");
    EXPECT_EQ(matomo->referralParamRegexes.at(0).ruleID, "Referral Marketing:ref");
    EXPECT_EQ(matomo->rawRuleRegexes.at(0).ruleID, "Analytics:/track/[0-9]+");
    const auto* wrapper = providerNamed(engine, "wrapper");
    ASSERT_NE(wrapper, nullptr);
    EXPECT_EQ(wrapper->redirectionRegexes.at(0).ruleID,
              "Redirect Unwrapping:^https?://wrap\\.example/out\\?u=([^&]+)");
    EXPECT_EQ(wrapper->provider.rules(), std::vector<std::string>{"src"});
}

TEST(RulesEngineLoadingTest, CategorizesProvidersByRedirectionsThenNameWordsThenReferrals) {
    const std::string none = "{}";
    const std::string referral = R"({"referralMarketing": ["tag"]})";
    const std::string redirect = R"json({"redirections": ["^https?://x/\\?u=(.*)"]})json";
    struct Case {
        std::string name;
        std::string provider;
        RuleCategoryType expected;
    };
    const Case cases[] = {
        {"GoogleAds", none, RuleCategoryType::analytics},  // "google", not "google ad"
        {"Google Ads Tracker", none, RuleCategoryType::advertising},
        {"campaign-monitor", none, RuleCategoryType::emailMarketing},
        {"facebook", redirect, RuleCategoryType::redirectUnwrapping},
        {"Amazon Google Ads", none, RuleCategoryType::ecommerce},  // first group wins
        {"twitter doubleclick", none, RuleCategoryType::socialMedia},
        {"YouTube", none, RuleCategoryType::socialMedia},
        {"Bing", none, RuleCategoryType::advertising},
        {"yandex", referral, RuleCategoryType::analytics},  // a word beats the referral list
        {"HubSpot", none, RuleCategoryType::emailMarketing},
        {std::string(config::kFurtherSocialMediaWord), none, RuleCategoryType::socialMedia},
        {std::string(config::kFurtherAdvertisingWord), none, RuleCategoryType::advertising},
        {std::string(config::kFurtherAnalyticsWord), none, RuleCategoryType::analytics},
        {std::string(config::kFurtherEmailMarketingWord), none, RuleCategoryType::emailMarketing},
        {"some-shop", referral, RuleCategoryType::referralMarketing},
        {"some-shop", none, RuleCategoryType::analytics},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RulesEngine::categorize(c.name, decodedProvider(c.provider)), c.expected)
            << c.name;
    }
}

TEST(RulesEngineLoadingTest, DropsWhatDoesNotCompileAndKeepsTheRest) {
    EngineFixture f;
    f.engine->loadRules(providersFile(R"(
        "broken": {"urlPattern": "^https?://(broken", "rules": ["lost_param"]},
        "fine analytics": {"urlPattern": "^https?://fine\\.example", "rules": ["good", "bad(", "also_good"],
                 "exceptions": ["[", "^https?://fine\\.example/keep"], "rawRules": ["("],
                 "referralMarketing": ["[", "aff"]})"));
    RulesEngine& engine = *f.engine;

    EXPECT_THAT(providerNames(engine), ElementsAre("fine analytics"));
    const auto* fine = providerNamed(engine, "fine analytics");
    ASSERT_NE(fine, nullptr);
    EXPECT_THAT(patterns(fine->paramRegexes), ElementsAre("good", "also_good"));
    EXPECT_EQ(fine->exceptionRegexes.size(), 1u);
    EXPECT_THAT(fine->rawRuleRegexes, IsEmpty());
    EXPECT_EQ(entryOf(engine, RuleCategoryType::analytics, "Analytics:lost_param"), nullptr);
    EXPECT_EQ(entryOf(engine, RuleCategoryType::analytics, "Analytics:bad("), nullptr);
    EXPECT_NE(entryOf(engine, RuleCategoryType::analytics, "Analytics:also_good"), nullptr);
}

TEST(RulesEngineLoadingTest, TopLevelAlternationIsWrappedWithoutAGroup) {
    EngineFixture f;
    f.engine->loadRules(providersFile(R"("p": {"urlPattern": ".", "rules": ["a|b"]})"));
    const auto* provider = providerNamed(*f.engine, "p");
    ASSERT_NE(provider, nullptr);
    // "^a|b$": anything starting with "a" or ending with "b".
    EXPECT_EQ(provider->paramRegexes.at(0).regex.pattern(), "^a|b$");
    EXPECT_TRUE(f.engine->shouldStripParam("apple", *provider));
    EXPECT_TRUE(f.engine->shouldStripParam("xb", *provider));
    EXPECT_FALSE(f.engine->shouldStripParam("xa", *provider));
}

TEST(RulesEngineLoadingTest, ProvidersKeepFileOrderAndSupplementaryOnesFollow) {
    EngineFixture f;
    RulesEngine& engine = *f.engine;
    const std::string main =
        providersFile(R"("zeta": {"urlPattern": "z"}, "alpha": {"urlPattern": "a"},
                                              "mid": {"urlPattern": "m"})");
    const std::string supplementary = providersFile(R"("extra": {"urlPattern": "e"})");

    engine.loadRuleBundle(main, supplementary);
    EXPECT_THAT(providerNames(engine), ElementsAre("zeta", "alpha", "mid", "extra"));
    // No duplicate check: the same supplementary data twice lists its providers twice.
    engine.loadSupplementaryRules(supplementary);
    EXPECT_THAT(providerNames(engine), ElementsAre("zeta", "alpha", "mid", "extra", "extra"));
    // A providers file replaces everything compiled before, supplementary ones included.
    engine.loadRules(providersFile(R"("only": {"urlPattern": "o"})"));
    EXPECT_THAT(providerNames(engine), ElementsAre("only"));
}

TEST(RulesEngineLoadingTest, UndecodableDataKeepsTheRulesInForce) {
    EngineFixture f;
    RulesEngine& engine = *f.engine;
    engine.loadRules(providersFile(R"("good": {"urlPattern": "^https?://good", "rules": ["x"]})"));
    const auto categoriesBefore = engine.categories.get();

    const std::string bad[] = {"not json", "[]", R"({"other": {}})",
                               R"({"providers": {"p": {"completeProvider": "yes"}}})"};
    for (const std::string& data : bad) {
        ::testing::internal::CaptureStdout();
        engine.loadRules(data);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(),
                  "Warning: Could not decode rules JSON\n")
            << data;

        ::testing::internal::CaptureStdout();
        engine.loadSupplementaryRules(data);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << data;

        EXPECT_THAT(providerNames(engine), ElementsAre("good"));
        EXPECT_EQ(engine.categories.get(), categoriesBefore);
    }
}

TEST(RulesEngineLoadingTest, ValidateRuleBundleReportsTheFirstFault) {
    const std::string good = providersFile(R"("p": {"urlPattern": "^https?://p"})");
    const std::string noneCompiles = providersFile(R"("p": {"urlPattern": "("})");
    struct Case {
        std::string clearURLs;
        std::optional<std::string> supplementary;
        std::optional<std::string> error;
    };
    const Case cases[] = {
        {good, std::nullopt, std::nullopt},
        {good, good, std::nullopt},
        {noneCompiles, good, std::nullopt},  // the supplementary provider counts
        {"{", good, "ClearURLs JSON could not be decoded"},
        {good, "{", "Supplementary JSON could not be decoded"},
        {"{", "{", "ClearURLs JSON could not be decoded"},
        {noneCompiles, std::nullopt, "No providers compiled"},
        {noneCompiles, noneCompiles, "No providers compiled"},
    };
    for (const Case& c : cases) {
        std::optional<std::string_view> supplementary;
        if (c.supplementary) {
            supplementary = *c.supplementary;
        }
        const auto result = RulesEngine::validateRuleBundle(c.clearURLs, supplementary);
        if (c.error) {
            ASSERT_FALSE(result.ok()) << *c.error;
            EXPECT_EQ(result.error(), RuleUpdateError::invalidRules(*c.error));
        } else {
            EXPECT_TRUE(result.ok());
        }
    }
}

// A bundle folder and the app-group containers, with XDG_DATA_HOME pointing
// at a folder of the test's own.
class RulesEngineBundledRulesTest : public ::testing::Test {
protected:
    RulesEngineBundledRulesTest() { environment_.set("XDG_DATA_HOME", dataHome_.path().string()); }

    fs::path morrowgateCopy() const {
        return dataHome_ / "group.com.morrowgate.scourlet" / "scourlet-supplementary.json";
    }
    fs::path quenbyCopy() const {
        return dataHome_ / "group.com.quenby.scourlet" / "scourlet-supplementary.json";
    }
    fs::path bundleCopy() const { return bundleDir_ / "scourlet-supplementary.json"; }

    static std::string supplementaryNamed(std::string_view name) {
        return providersFile("\"" + std::string(name) + R"(": {"urlPattern": "^https?://s"})");
    }

    void writeShippedProviders(std::string_view contents) {
        testing::writeFile(bundleDir_ / "data.min.json", contents);
    }

    std::unique_ptr<RulesEngine> engine() const {
        return std::make_unique<RulesEngine>(std::make_shared<InMemoryUserDefaults>(), &bundle_);
    }

    testing::ScopedEnvironment environment_;
    testing::TempDir dataHome_;
    testing::TempDir bundleDir_;
    ResourceBundle bundle_{bundleDir_.path()};
    const std::string shipped_ = providersFile(R"("shipped": {"urlPattern": "^https?://m"})");
};

TEST_F(RulesEngineBundledRulesTest, MissingBundleOrProvidersFileWarnsAndChangesNothing) {
    // The supplementary copy is not even looked at when the providers file is missing.
    testing::writeFile(bundleCopy(), supplementaryNamed("supplement"));

    EngineFixture noBundle;
    noBundle.engine->loadRules(shipped_);
    const auto categoriesBefore = noBundle.engine->categories.get();
    ::testing::internal::CaptureStdout();
    noBundle.engine->loadBundledRules();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Warning: Could not load bundled rules\n");
    EXPECT_THAT(providerNames(*noBundle.engine), ElementsAre("shipped"));
    EXPECT_EQ(noBundle.engine->categories.get(), categoriesBefore);

    auto withBundle = engine();
    ::testing::internal::CaptureStdout();
    withBundle->loadBundledRules();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Warning: Could not load bundled rules\n");
    EXPECT_THAT(withBundle->compiledProviders(), IsEmpty());
    EXPECT_THAT(withBundle->categories.get(), IsEmpty());
}

TEST_F(RulesEngineBundledRulesTest, LoadsShippedProvidersWithOrWithoutSupplementaryFile) {
    writeShippedProviders(shipped_);
    auto alone = engine();
    ::testing::internal::CaptureStdout();
    alone->loadBundledRules();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_THAT(providerNames(*alone), ElementsAre("shipped"));

    testing::writeFile(bundleCopy(), supplementaryNamed("supplement"));
    auto both = engine();
    both->loadBundledRules();
    EXPECT_THAT(providerNames(*both), ElementsAre("shipped", "supplement"));
}

TEST_F(RulesEngineBundledRulesTest, UndecodableShippedProvidersStillLoadTheSupplementaryFile) {
    writeShippedProviders("{ not json");
    testing::writeFile(bundleCopy(), supplementaryNamed("supplement"));

    auto fresh = engine();
    ::testing::internal::CaptureStdout();
    fresh->loadBundledRules();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Warning: Could not decode rules JSON\n");
    EXPECT_THAT(providerNames(*fresh), ElementsAre("supplement"));

    // On an engine already loaded, the supplementary providers join those in force.
    auto loaded = engine();
    loaded->loadRules(shipped_);
    ::testing::internal::CaptureStdout();
    loaded->loadBundledRules();
    ::testing::internal::GetCapturedStdout();
    EXPECT_THAT(providerNames(*loaded), ElementsAre("shipped", "supplement"));
}

TEST_F(RulesEngineBundledRulesTest, NewestSupplementaryCopyWinsAndTiesGoByPlace) {
    writeShippedProviders(shipped_);
    const auto base = fs::file_time_type::clock::now() - std::chrono::hours(1);
    const auto later = base + std::chrono::seconds(10);
    using Time = std::optional<fs::file_time_type>;
    struct Case {
        Time morrowgate, quenby, bundled;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {base, base, base, {"shipped", "morrowgate"}},
        {base, later, base, {"shipped", "quenby"}},
        {base, base, later, {"shipped", "bundled"}},
        {later, base, later, {"shipped", "morrowgate"}},
        {base, later, later, {"shipped", "quenby"}},
        {std::nullopt, base, base, {"shipped", "quenby"}},
        {std::nullopt, std::nullopt, base, {"shipped", "bundled"}},
        {std::nullopt, std::nullopt, std::nullopt, {"shipped"}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const std::pair<fs::path, Time> copies[] = {
            {morrowgateCopy(), c.morrowgate}, {quenbyCopy(), c.quenby}, {bundleCopy(), c.bundled}};
        const char* names[] = {"morrowgate", "quenby", "bundled"};
        for (std::size_t k = 0; k < 3; ++k) {
            std::error_code ignored;
            fs::remove(copies[k].first, ignored);
            if (copies[k].second) {
                testing::writeFile(copies[k].first, supplementaryNamed(names[k]));
                fs::last_write_time(copies[k].first, *copies[k].second);
            }
        }
        auto loaded = engine();
        loaded->loadBundledRules();
        EXPECT_EQ(providerNames(*loaded), c.expected) << "case " << i;
    }
}

TEST_F(RulesEngineBundledRulesTest, WithoutADataHomeOnlyTheBundledCopyIsACandidate) {
    environment_.unset("XDG_DATA_HOME");
    environment_.unset("HOME");
    testing::writeFile(bundleCopy(), supplementaryNamed("bundled"));
    EXPECT_EQ(engine()->newestSupplementaryRulesURL(), bundleCopy());
}

// The public ClearURLs rule set, as the rule updater may install it.
TEST(RulesEnginePublicRuleSetTest, LoadsEveryProviderAndCategorizesThem) {
    const auto publicRules = testing::publicRuleSet();
    if (!publicRules) {
        GTEST_SKIP() << testing::kPublicRuleSetMissing;
    }
    const std::string& data = *publicRules;
    const auto file = ProvidersFile::decode(data);
    ASSERT_TRUE(file.ok());

    // Every pattern of the set compiles with our regular-expression engine.
    std::vector<std::string> refused;
    std::size_t patternCount = 0;
    for (const auto& [name, provider] : file->providers()) {
        auto check = [&](const std::string& pattern, bool anchored) {
            ++patternCount;
            const std::string compiled = anchored ? "^" + pattern + "$" : pattern;
            if (!Regex::compile(compiled, RegexOptions::caseInsensitive)) {
                refused.push_back(name + ": " + pattern);
            }
        };
        check(provider.urlPattern(), false);
        for (const auto& p : provider.rules())
            check(p, true);
        for (const auto& p : provider.referralMarketing())
            check(p, true);
        for (const auto& p : provider.rawRules())
            check(p, false);
        for (const auto& p : provider.redirections())
            check(p, false);
        for (const auto& p : provider.exceptions())
            check(p, false);
    }
    EXPECT_THAT(refused, IsEmpty());
    EXPECT_GT(patternCount, 1000u);

    EngineFixture f;
    RulesEngine& engine = *f.engine;
    engine.loadRules(data);
    ASSERT_EQ(file->providers().size(), 205u);
    ASSERT_EQ(engine.compiledProviders().size(), 205u);

    std::size_t expectedEntries = 16;  // the built-in fallback entries
    for (std::size_t i = 0; i < engine.compiledProviders().size(); ++i) {
        const auto& compiled = *engine.compiledProviders()[i];
        const auto& [name, provider] = file->providers()[i];
        EXPECT_EQ(compiled.name, name);  // file order
        EXPECT_EQ(compiled.category, RulesEngine::categorize(name, provider));
        EXPECT_NE(compiled.category, RuleCategoryType::custom);
        EXPECT_EQ(compiled.paramRegexes.size(), provider.rules().size()) << name;
        expectedEntries += provider.rules().size() + provider.referralMarketing().size() +
                           provider.redirections().size() + provider.rawRules().size();
    }
    std::size_t entries = 0;
    for (const auto& category : engine.categories.get()) {
        entries += category->rules().size();
    }
    EXPECT_EQ(entries, expectedEntries);

    struct Known {
        const char* name;
        RuleCategoryType category;
    };
    const Known known[] = {
        {"amazon", RuleCategoryType::ecommerce},
        {"google", RuleCategoryType::redirectUnwrapping},  // it has redirections
        {"googlesyndication", RuleCategoryType::analytics},
        {"bing", RuleCategoryType::advertising},
        {"twitter", RuleCategoryType::socialMedia},
        {"LinkedIn", RuleCategoryType::socialMedia},
        {"yandex", RuleCategoryType::analytics},
        {"globalRules", RuleCategoryType::referralMarketing},
        {"netflix", RuleCategoryType::analytics},
    };
    for (const Known& k : known) {
        const auto* provider = providerNamed(engine, k.name);
        ASSERT_NE(provider, nullptr) << k.name;
        EXPECT_EQ(provider->category, k.category) << k.name;
    }
    EXPECT_EQ(entryIDs(engine, RuleCategoryType::analytics).front(), "Analytics:utm_*");
    EXPECT_THAT(entryIDs(engine, RuleCategoryType::custom), IsEmpty());
    EXPECT_TRUE(RulesEngine::validateRuleBundle(data, std::nullopt).ok());
}

// The rule files the program ships must load and pass the update check.
TEST(RulesEngineShippedFilesTest, ShippedRuleFilesLoadAndValidate) {
    const fs::path resources = fs::path(SCOURLET_SOURCE_DIR) / "ScourletCore" / "Resources";
    if (!fs::exists(resources / "data.min.json") ||
        !fs::exists(resources / "scourlet-supplementary.json")) {
        GTEST_SKIP() << "the shipped rule files are not there yet";
    }
    const std::string providers = testing::readFile(resources / "data.min.json");
    const std::string supplementary = testing::readFile(resources / "scourlet-supplementary.json");
    const auto validation = RulesEngine::validateRuleBundle(providers, supplementary);
    EXPECT_TRUE(validation.ok()) << (validation.ok() ? "" : validation.error().errorDescription());

    const ResourceBundle bundle(resources);
    RulesEngine engine(std::make_shared<InMemoryUserDefaults>(), &bundle);
    ::testing::internal::CaptureStdout();
    engine.loadBundledRules();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    const auto shippedProviders = ProvidersFile::decode(providers);
    const auto supplementaryProviders = ProvidersFile::decode(supplementary);
    ASSERT_TRUE(shippedProviders.ok());
    ASSERT_TRUE(supplementaryProviders.ok());
    // Every provider of both files compiles.
    EXPECT_EQ(engine.compiledProviders().size(),
              shippedProviders->providers().size() + supplementaryProviders->providers().size());
}

}  // namespace
}  // namespace scourlet

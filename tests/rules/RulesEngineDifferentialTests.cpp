// The indexed rule matching must answer exactly as running every rule's
// expression in turn: the whole clean of many links, generated from the rule
// set's own patterns and taken from real life, gives identical outcomes and
// identical match counts on both paths.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "bench/RealisticLinks.h"
#include "support/PublicRuleSet.h"

#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/PercentEncoding.h"
#include "ScourletCore/rules/URLCleaner.h"
#include "ScourletCore/rules/internal/NameRuleIndex.h"
#include "ScourletCore/rules/internal/ProviderPrefilter.h"

namespace scourlet {
namespace {

// Spellings of one name that the indexed path treats differently: case,
// percent-encoding, a trailing line break ("$" matches before it), a long s
// and a Kelvin sign (which fold to "s" and "k"), a prefix and a suffix.
std::vector<std::string> spellingsOf(const std::string& name) {
    std::vector<std::string> out = {name};
    std::string upper = name;
    for (char& c : upper) {
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    out.push_back(upper);
    out.push_back(name + "%0A");
    out.push_back("x" + name);
    out.push_back(name + "_x");
    out.push_back(percentEncode(name, PercentEncodeSet::alphanumerics));
    if (const auto s = name.find('s'); s != std::string::npos) {
        out.push_back(name.substr(0, s) + "%C5%BF" + name.substr(s + 1));
    }
    if (const auto k = name.find('k'); k != std::string::npos) {
        out.push_back(name.substr(0, k) + "%E2%84%AA" + name.substr(k + 1));
    }
    return out;
}

// Names a rule pattern suggests: those it spells out, or its text with the
// pattern syntax taken out.
std::vector<std::string> namesFor(const std::string& pattern) {
    if (const auto spelled = internal::literalRuleNames(pattern)) {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < spelled->names.size() && i < 3; ++i) {
            names.push_back(spelled->names[i] + (spelled->prefixes ? "id" : ""));
        }
        return names;
    }
    std::string plain;
    for (const char c : pattern) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '_' || c == '-') {
            plain.push_back(c);
        }
    }
    return {plain, plain.substr(0, plain.size() / 2), pattern};
}

// A link an exception pattern suggests: the pattern with its syntax replaced
// by plain text that its pieces match ("(?:[a-z0-9-]+\.)*?" by "www.", "\/"
// by "/", "[^?]*" by "x"), so that the exceptions are put to the test.
std::string linkFromPattern(std::string pattern) {
    const std::pair<std::string_view, std::string_view> replacements[] = {
        {"^", ""},           {"https?", "https"},    {"wss?", "wss"},
        {"(?:[a-z0-9-]+\\.)*?", "www."},          {"(?:\\.[a-z]{2,}){1,}", ".com"},
        {"[^?]*", "x"},      {"[^?]+", "x"},         {"[^/]+", "seg"},
        {"[^/]*", "seg"},    {"[^/?&]*", "v"},       {".*?", ""},
        {"\\", ""},        {"(?:", ""},            {")", ""},
        {"(", ""},           {"?", ""},              {"$", ""},
    };
    for (const auto& [from, to] : replacements) {
        for (std::size_t at = pattern.find(from); at != std::string::npos;
             at = pattern.find(from, at + to.size())) {
            pattern.replace(at, from.size(), to);
        }
    }
    if (const auto bar = pattern.find('|'); bar != std::string::npos) {
        pattern.erase(bar, pattern.find_first_of("/", bar) - bar);
    }
    return pattern;
}

std::vector<std::string> generatedLinks(const RulesEngine& engine) {
    std::vector<std::string> links;
    for (const auto& provider : engine.compiledProviders()) {
        // Links the provider's exceptions suggest, with names its rules and
        // the fallback rules remove.
        for (const Regex& exception : provider->exceptionRegexes) {
            const std::string link = linkFromPattern(exception.pattern());
            const char* separator = link.find('?') == std::string::npos ? "?" : "&";
            links.push_back(link + separator + "ref=1&utm_source=x&referrer=y&mc=z&utm_campaign=c");
            links.push_back(link + "/more/" + separator + "ref_=1&fbclid=2");
            links.push_back(link);
        }
        const auto literal =
            internal::ProviderPrefilter::requiredHostLiteral(provider->provider.urlPattern());
        std::string site = "https://www." + (literal ? *literal : std::string("example")) + ".com";
        if (literal && literal->find('.') != std::string::npos) {
            site = "https://www." + *literal;
        }
        std::vector<std::string> names;
        for (const auto& rule : provider->paramRegexes) {
            for (const auto& name : namesFor(rule.regex.pattern())) {
                names.push_back(name);
            }
        }
        for (const auto& rule : provider->referralParamRegexes) {
            for (const auto& name : namesFor(rule.regex.pattern())) {
                names.push_back(name);
            }
        }
        for (const char* fallback : {"utm_source", "fbclid", "gclid", "si", "keep"}) {
            names.emplace_back(fallback);
        }
        // Each name in all its spellings, a few to a link, among kept items.
        std::string query;
        int inQuery = 0;
        for (const auto& name : names) {
            for (const auto& spelling : spellingsOf(name)) {
                query.append(query.empty() ? "" : "&")
                    .append(percentEncode(spelling, PercentEncodeSet::urlQueryItemAllowed))
                    .append("=v&id=1");
                if (++inQuery == 6) {
                    links.push_back(site + "/path/amp/ref=x?" + query + "#frag");
                    links.push_back(site + "/?" + query);
                    query.clear();
                    inQuery = 0;
                }
            }
        }
        if (!query.empty()) {
            links.push_back(site + "/?" + query);
        }
        links.push_back(site + "/plain/page");
        links.push_back("https://WWW." + site.substr(12) + "/Case?UTM_SOURCE=1&Keep=2");
    }
    return links;
}

struct Side {
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<RulesEngine> engine;
    std::unique_ptr<URLCleaner> cleaner;

    Side(RulesEngine::MatchingPath path, const std::optional<std::string>& rules) {
        engine = std::make_shared<RulesEngine>(defaults);
        engine->setMatchingPath(path);
        if (rules) {
            engine->loadRules(*rules);
        } else {
            engine->loadBundledRules();
        }
        cleaner = std::make_unique<URLCleaner>(engine, nullptr, nullptr, "macOSClipboard",
                                               PrivacyRedirectSettings::disabled());
        // The rule-by-rule path under a sanitizer on a busy machine can take
        // longer than a clean may; no clean here may be cut short.
        cleaner->setTimeBudget(std::chrono::hours(1));
    }

    // Switches off every `step`-th entry and the custom category's switch,
    // and adds two custom rules, the same way on both sides.
    void switchSomeRulesOff(std::size_t step) {
        std::size_t n = 0;
        for (const auto& category : engine->categories.get()) {
            for (const auto& entry : category->rules()) {
                if (++n % step == 0) {
                    entry->setIsEnabled(false);
                }
            }
        }
        engine->addCustomRule("keep", "Keep", RuleCategoryType::custom);
        engine->addCustomRule("x.y*", "odd", RuleCategoryType::analytics);
    }
};

void expectSameCleans(const std::optional<std::string>& rules) {
    Side indexed(RulesEngine::MatchingPath::indexed, rules);
    Side reference(RulesEngine::MatchingPath::ruleByRule, rules);
    ASSERT_FALSE(indexed.engine->compiledProviders().empty());

    std::vector<std::string> links = generatedLinks(*indexed.engine);
    for (const auto& link : bench::realisticLinks()) {
        links.push_back(link);
    }
    ASSERT_GT(links.size(), 1000U);
    // The links put the providers' exceptions to the test too.
    std::size_t excepted = 0;
    for (const auto& link : links) {
        const auto providers = reference.engine->matchingProviders(link);
        excepted += std::any_of(providers.begin(), providers.end(),
                                [&](const auto& provider) {
                                    return reference.engine->isException(link, *provider);
                                })
                        ? 1
                        : 0;
    }
    EXPECT_GT(excepted, 0U);

    auto compareAll = [&](const char* round) {
        std::size_t cleaned = 0;
        for (const auto& link : links) {
            const CleanOutcome expected = reference.cleaner->cleanWithOutcome(link);
            const CleanOutcome actual = indexed.cleaner->cleanWithOutcome(link);
            ASSERT_EQ(actual, expected) << round << ": " << link;
            cleaned += actual.cleanedResult() ? 1 : 0;
        }
        EXPECT_GT(cleaned, links.size() / 4) << round;
        EXPECT_EQ(indexed.engine->exportRules(), reference.engine->exportRules()) << round;
    };
    compareAll("every rule on");
    indexed.switchSomeRulesOff(3);
    reference.switchSomeRulesOff(3);
    compareAll("some rules off");

    // The counts that reach the store are the same too, once saved.
    indexed.engine->flushMatchCounts();
    reference.engine->flushMatchCounts();
    EXPECT_EQ(indexed.defaults->dataForKey(RulesEngine::matchCountsKey),
              reference.defaults->dataForKey(RulesEngine::matchCountsKey));
}

TEST(RulesEngineDifferentialTest, PublicRuleSetCleansAlikeOnBothPaths) {
    const auto rules = testing::publicRuleSet();
    if (!rules) {
        GTEST_SKIP() << testing::kPublicRuleSetMissing;
    }
    expectSameCleans(rules);
}

TEST(RulesEngineDifferentialTest, ShippedRulesCleanAlikeOnBothPaths) {
    expectSameCleans(std::nullopt);
}

TEST(RulesEngineDifferentialTest, RulesSpellOutOnlyWhenTheyNameWholeNames) {
    struct Case {
        std::string pattern;
        std::vector<std::string> names;  // empty: not spelled out
        bool prefixes = false;
    };
    const Case cases[] = {
        {"^fbclid$", {"fbclid"}},
        {"^UTM_Source$", {"utm_source"}},
        {"^(?:%3F)?gclid$", {"%3fgclid", "gclid"}},
        {"^wt_?z?mc$", {"wt_mc", "wt_zmc", "wtmc", "wtzmc"}},
        {"^sca_(?:esv|upv)$", {"sca_esv", "sca_upv"}},
        {"^[ab]_x$", {"a_x", "b_x"}},
        {"^utm_.*$", {"utm_"}, true},
        {"^_hsenc\\-x$", {"_hsenc-x"}},
        {"^a|b$", {}},           // top-level alternation: no whole-name match
        {"^utm(?:_[a-z_]*)?$", {}},  // open-ended
        {"^[^a]b$", {}},
        {"^a\\db$", {}},
        {"^ab\\$", {}},
        {"^a b$", {}},
        {"^[a-z]{2}$", {}},
    };
    for (const Case& c : cases) {
        const auto spelled = internal::literalRuleNames(c.pattern);
        if (c.names.empty()) {
            EXPECT_FALSE(spelled) << c.pattern;
            continue;
        }
        ASSERT_TRUE(spelled) << c.pattern;
        std::vector<std::string> expected = c.names;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(spelled->names, expected) << c.pattern;
        EXPECT_EQ(spelled->prefixes, c.prefixes) << c.pattern;
    }
    // The leading texts that let a searched rule be skipped.
    const std::pair<std::string, std::vector<std::string>> leads[] = {
        {"^ajs_(?:prop|trait)_[a-z0-9_]+$", {"ajs_prop_", "ajs_trait_"}},
        {"^(?:%3F)?utm(?:_[a-z_]*)?$", {"%3futm", "utm"}},
        {"^Ath[a-z]*$", {"ath"}},
        {"^ab+c\\d$", {"ab"}},
        {"^abc*$", {"ab"}},
        {"^[^a]b$", {}},
        {"^a?b*$", {}},   // may begin with anything
        {"^a|b$", {}},    // "^" anchors only the first alternative
        {"ab$", {}},
    };
    for (const auto& [pattern, expected] : leads) {
        EXPECT_EQ(internal::leadingNameTexts(pattern), expected) << pattern;
    }
    for (const char* joinable : {"^a$", "a|b", "(?:x)(y)", "(?=a)b", "[#]"}) {
        EXPECT_EQ(internal::joinsCombinedExpression(joinable), std::string(joinable) != "[#]")
            << joinable;
    }
    for (const char* alone : {"(a)\\1", "\\Qa", "(?i)a", "(?<n>a)", "a#b", "(?x)a"}) {
        EXPECT_FALSE(internal::joinsCombinedExpression(alone)) << alone;
    }
}

}  // namespace
}  // namespace scourlet

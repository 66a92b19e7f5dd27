// The per-link provider prefilter must never hide a provider whose URL pattern
// matches: its answers are checked against running every pattern.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/PublicRuleSet.h"

#include "ScourletCore/rules/RulesEngine.h"
#include "ScourletCore/rules/internal/PatternText.h"
#include "ScourletCore/rules/internal/ProviderPrefilter.h"
#include "rules/RulesEngineTestSupport.h"
#include "support/TempDir.h"

namespace scourlet {
namespace {

using internal::ProviderPrefilter;

TEST(RulesEnginePrefilterTest, FindsTheLiteralASitePatternRequires) {
    const std::string site = R"(^https?:\/\/(?:[a-z0-9-]+\.)*?)";
    struct Case {
        std::string pattern;
        std::optional<std::string> literal;
    };
    const Case cases[] = {
        {site + R"(amazon(?:\.[a-z]{2,}){1,})", "amazon"},
        {R"(^https?://(?:[a-z0-9-]+\.)*?kahoot\.it)", "kahoot.it"},
        {site + R"(fls-na\.amazon(?:\.[a-z]{2,}){1,})", "fls-na.amazon"},
        {site + R"(Google\.COM\/url)", "google.com"},
        {site + R"(a\-b\.c)", "a-b.c"},
        {site + R"(amazon(?:\.com|\.de))", "amazon"},  // alternation inside a group
        {site + R"(amazon[|])", "amazon"},
        // A quantifier that may drop the last character leaves it out.
        {site + R"(amazons?\.com)", "amazon"},
        {site + R"(ab*c)", "a"},
        {site + R"(ab{0,1})", "a"},
        {site + R"(ab+)", "ab"},
        {site + R"(a\dx)", "a"},
        // The greedy label group, and a host named right after the scheme.
        {R"(^https?://(?:[a-z0-9-]+\.)*googleadservices\.com(?::\d+)?(?:[/?#]|$))",
         "googleadservices.com"},
        {R"(^https?:\/\/(?:[a-z0-9-]+\.)*amazon\.)", "amazon."},
        {R"(^https?://ad\.doubleclick\.net(?::\d+)?(?:[/?#]|$))", "ad.doubleclick.net"},
        {R"(^https?:\/\/vk\.com)", "vk.com"},
        // Without inline flags a "#" is an ordinary character.
        {R"(^https?://(?:[a-z0-9-]+\.)*awstrack\.me(?::\d+)?(?:[/?#]|$))", "awstrack.me"},
        {R"(^https?://(?:www\.)?google\.)", "google."},
        {R"(^https?://(?:(?:www|m)\.)?youtube\.com/redirect)", "youtube.com"},
        {R"(^https?://(?:www\.|x)?google)", std::nullopt},
        {R"(^https?://(?:[a-z0-9-]+\.)*(?:youtube\.com|youtu\.be)(?::\d+)?)", std::nullopt},
        {R"(^https?://lm?\.facebook\.com)", "l"},
        // Shapes the filter leaves alone.
        {site + R"(amazon\.com|evil)", std::nullopt},
        {site + R"(amazon[|]x|y)", std::nullopt},
        {site + R"((?:www\.)?amazon)", "amazon"},  // optional whole labels are skipped
        {site + R"(\Qa|b\E)", std::nullopt},
        {site + R"(amazon(?#(x)|y)", std::nullopt},
        {site + R"(amazon(?x)#(
|y)",
         std::nullopt},
        {site + R"(a[[b]|c])", std::nullopt},
        {site + R"(+x)", std::nullopt},
        {site + R"(?x)", std::nullopt},
        {site, std::nullopt},
        {".*", std::nullopt},
        {R"(https?:\/\/([a-z0-9-.]*\.)shutterstock\.com)", std::nullopt},
        {R"(^http:\/\/(?:[a-z0-9-]+\.)*?amazon)", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProviderPrefilter::requiredHostLiteral(c.pattern), c.literal) << c.pattern;
    }
    // A group of literal alternatives requires one of them.
    EXPECT_EQ(ProviderPrefilter::requiredHostLiterals(
                  R"(^https?://(?:[a-z0-9-]+\.)*(?:youtube\.com|youtu\.be)(?::\d+)?)"),
              (std::vector<std::string>{"youtube.com", "youtu.be"}));
    EXPECT_EQ(ProviderPrefilter::requiredHostLiterals(R"(^https?://(?:a|[b])x)"), std::nullopt);
    // Capturing groups and alternatives with groups of their own; a group
    // that may be left out or a look-ahead requires nothing.
    const std::vector<std::pair<std::string, std::optional<std::vector<std::string>>>> groups = {
        {site + R"((youtube\.com|youtu\.be))", std::vector<std::string>{"youtube.com", "youtu.be"}},
        {site + R"((?:yandex(?:\.[a-z]{2,}){1,}|ya\.ru))",
         std::vector<std::string>{"yandex", "ya.ru"}},
        {site + R"((?:foo)?bar)", std::nullopt},
        {site + R"((?:foo|bar)*baz)", std::nullopt},
        {site + R"((?=foo)bar)", std::nullopt},
        {site + R"((?:foo|(?:x)bar))", std::nullopt},
    };
    for (const auto& [pattern, literals] : groups) {
        EXPECT_EQ(ProviderPrefilter::requiredHostLiterals(pattern), literals) << pattern;
    }
}

TEST(RulesEnginePrefilterTest, FindsTheTextAPatternOfAnotherShapeRequires) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {R"(https?:\/\/outgoing\.prod\.mozaws\.net\/)", "://outgoing.prod.mozaws.net/"},
        {R"(https?:\/\/([a-z0-9-.]*\.)shutterstock\.com)", "shutterstock.com"},
        {R"(^HTTPS?://(?:www\.)?Example\.ORG/x)", "example.org/x"},
        // A quantifier that may drop a character ends the run before it.
        {R"(abcdefg?h)", "abcdef"},
        {R"(abcd+efg)", "abcd"},  // "d" may repeat: the run ends after it
        {R"(abcd{0,2}efghi)", "efghi"},
        // Sets, classes and groups are no text.
        {R"([abcdef]ghi\djklmn)", "jklmn"},
        {R"((?:abcdef)xyz)", std::nullopt},
        {R"(abc)", std::nullopt},  // too short to pay
        {R"(abcdef|ghijkl)", std::nullopt},
        {R"((?i)abcdef)", std::nullopt},
        {R"(\Qabcdef\E)", std::nullopt},
        {".*", std::nullopt},
    };
    for (const auto& [pattern, text] : cases) {
        EXPECT_EQ(internal::requiredLiteralText(pattern), text) << pattern;
    }
}

// Every provider the engine returns must be exactly those whose pattern matches.
std::vector<std::string> bruteForceMatches(const RulesEngine& engine, const std::string& url) {
    std::vector<std::string> names;
    const std::string normalized = RulesEngine::normalizedForMatching(url);
    for (const auto& provider : engine.compiledProviders()) {
        if (engine.isCategoryEnabled(provider->category) &&
            provider->urlRegex.matches(normalized)) {
            names.push_back(provider->name);
        }
    }
    return names;
}

std::vector<std::string> engineMatches(const RulesEngine& engine, const std::string& url) {
    std::vector<std::string> names;
    for (const auto& provider : engine.matchingProviders(url)) {
        names.push_back(provider->name);
    }
    return names;
}

std::string upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

void expectAgreementWithEveryPattern(const testing::EngineFixture& f) {
    ASSERT_FALSE(f.engine->compiledProviders().empty());

    std::vector<std::string> urls = {
        "https://www.amazon.com/dp/B08N5WRWNW/ref=sr_1_3?crid=2M&keywords=x&qid=1",
        "https://www.google.com/search?q=x&client=firefox-b-d",
        "https://www.youtube.com/watch?v=abc&feature=share&si=x",
        "https://l.facebook.com/l.php?u=https%3A%2F%2Fexample.org%2F",
        "https://x.com/someone/status/1?s=20",
        "https://news.example.com/a?utm_source=x&mc_cid=1",
        "HTTPS://WWW.AMAZON.DE/gp/product/1?pf_rd_r=1",
        "https://Jane:pw@WWW.Amazon.com/dp/1",
        "https://www.amazon.com/\xC5\xBF?tag=x",
        "https://www.am\xC5\xBF" "azon.com/",
        "ftp://amazon.com/",
        "https:/amazon.com/",
        "amazon.com",
        "",
        "https://",
    };
    for (const auto& provider : f.engine->compiledProviders()) {
        const auto literals =
            ProviderPrefilter::requiredHostLiterals(provider->provider.urlPattern());
        if (!literals) {
            continue;
        }
        for (const std::string& l : *literals)
        for (const std::string& url : {
                 "https://" + l + "/",
                 "https://" + l + ".com/path?x=1",
                 "http://www." + l + ".co.uk/",
                 "HTTP://SUB.A-B." + upper(l) + ".COM/",
                 "https://x" + l + ".com/",
                 "https://" + l + "x.com/",
                 "https://a.." + l + ".com/",
                 "https://." + l + ".com/",
                 "https://_x." + l + ".com/",
                 "https://user:pw@" + l + ".com/",
                 "https://example.org/?u=https://" + l + ".com/",
                 "httpx://" + l + ".com/",
                 "https://" + l + ".com/\xE2\x80\xA8",
             }) {
            urls.push_back(url);
        }
    }
    for (const auto& provider : f.engine->compiledProviders()) {
        const auto text = internal::requiredLiteralText(provider->provider.urlPattern());
        if (!text) {
            continue;
        }
        for (const std::string& url : {
                 "https://" + *text,
                 "https://" + *text + "/x",
                 "HTTPS://" + upper(*text),
                 "https://example.org/?u=https" + *text,
                 "https://" + text->substr(1),
                 "https://" + text->substr(0, text->size() - 1),
             }) {
            urls.push_back(url);
        }
    }
    for (const std::string& url : urls) {
        ASSERT_EQ(engineMatches(*f.engine, url), bruteForceMatches(*f.engine, url)) << url;
    }
}

TEST(RulesEnginePrefilterTest, AgreesWithRunningEveryPatternOfThePublicRuleSet) {
    const auto publicRules = testing::publicRuleSet();
    if (!publicRules) {
        GTEST_SKIP() << testing::kPublicRuleSetMissing;
    }
    testing::EngineFixture f;
    f.engine->loadRules(*publicRules);
    expectAgreementWithEveryPattern(f);
}

TEST(RulesEnginePrefilterTest, AgreesWithRunningEveryPatternOfTheShippedRules) {
    testing::EngineFixture f;
    f.engine = std::make_unique<RulesEngine>(f.defaults);
    f.engine->loadBundledRules();
    expectAgreementWithEveryPattern(f);
}

}  // namespace
}  // namespace scourlet

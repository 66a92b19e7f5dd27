#include "ScourletCore/rules/URLCleaner.h"

#include <chrono>

#include <gtest/gtest.h>

#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/PercentEncoding.h"
#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/URLComponents.h"
#include "support/ManualClock.h"

namespace scourlet {
namespace {

// A small rule set of our own: a news site with parameter, referral and raw
// rules and an exception, and a redirect wrapper.
constexpr std::string_view kProviders = R"json({"providers":{
  "news analytics": {
    "urlPattern": "^https?://(?:[a-z0-9-]+\\.)*?news\\.example",
    "rules": ["ref_src", "share_id"],
    "referralMarketing": ["aff"],
    "rawRules": ["/amp(?=[/?#]|$)"],
    "exceptions": ["^https?://news\\.example/keep"]
  },
  "out wrapper": {
    "urlPattern": "^https?://out\\.example",
    "rules": ["wrapper_id"],
    "redirections": ["^https?://out\\.example/\\?u=([^&]*)"]
  },
  "echo wrapper": {
    "urlPattern": "^https?://echo\\.example",
    "redirections": ["(https?://echo\\.example/.*)", "[?&]next=([^&]*)"]
  }
}})json";

class URLCleanerTest : public ::testing::Test {
protected:
    URLCleanerTest() {
        engine->loadRules(kProviders);
        cleaner = makeCleaner(PrivacyRedirectSettings::disabled());
    }

    std::unique_ptr<URLCleaner> makeCleaner(PrivacyRedirectSettings settings) {
        return std::make_unique<URLCleaner>(
            engine, exceptions, recorder, "macOSClipboard", std::move(settings),
            [] { return std::optional<PrivacyServicesCatalog::Verified>(); }, &clock);
    }

    CleanResult cleaned(std::string_view url) {
        auto outcome = cleaner->cleanWithOutcome(url);
        EXPECT_EQ(outcome.kind(), CleanOutcome::Kind::cleaned) << url;
        return outcome.cleanedResult() ? *outcome.cleanedResult() : CleanResult{};
    }

    void setCategoryEnabled(RuleCategoryType type, bool enabled) {
        for (const auto& category : engine->categories.get()) {
            if (category->type() == type) {
                category->setIsEnabled(enabled);
            }
        }
    }

    testing::ManualClock clock;
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<RulesEngine> engine = std::make_shared<RulesEngine>(defaults, nullptr);
    std::shared_ptr<DomainExceptionStore> exceptions =
        std::make_shared<DomainExceptionStore>(defaults);
    std::shared_ptr<LastCleanRecorder> recorder = std::make_shared<LastCleanRecorder>(&clock);
    std::unique_ptr<URLCleaner> cleaner;
};

std::string wrap(std::string_view target) {
    return "https://out.example/?u=" + percentEncode(target, PercentEncodeSet::alphanumerics);
}

TEST_F(URLCleanerTest, RefusesWhatIsNoWebLink) {
    for (std::string_view input :
         {"", "   ", "HTTPS://news.example/?utm_source=x", "ftp://news.example/a",
          "news.example/?utm_source=x", "https ://x", "mailto:a@news.example",
          // Not UTF-8: the result could not be stored as it was given.
          "https://news.example/?utm_source=x&q=\xD6\xD6", "https://news.example/\xC3"}) {
        EXPECT_EQ(cleaner->cleanWithOutcome(input), CleanOutcome::invalid()) << input;
    }
    EXPECT_EQ(recorder->current(), std::nullopt);
}

TEST_F(URLCleanerTest, TrimsAndRemovesTrackingParameters) {
    const CleanResult r = cleaned("  https://news.example/a?id=7&utm_source=x&ref_src=tw&aff=me\n");
    EXPECT_EQ(r.originalURL, "https://news.example/a?id=7&utm_source=x&ref_src=tw&aff=me");
    EXPECT_EQ(r.cleanedURL, "https://news.example/a?id=7");
    EXPECT_EQ(r.paramsRemoved, 3);
    EXPECT_EQ(r.removedQueryParameters, (std::vector<std::string>{"utm_source", "ref_src", "aff"}));
    // Referral matches are reported under the provider's own category.
    EXPECT_EQ(r.matchedRuleIDs, (std::vector<std::string>{"Analytics:utm_*", "Analytics:ref_src",
                                                          "Referral Marketing:aff"}));
    EXPECT_EQ(r.matchedCategories, std::set<RuleCategoryType>{RuleCategoryType::analytics});
    ASSERT_EQ(r.operations.size(), 1u);
    EXPECT_EQ(r.operations[0].kind, CleanOperationKind::localParameterRemoval);
    EXPECT_EQ(r.operations[0].removedParameters, r.removedQueryParameters);

    ASSERT_TRUE(recorder->current());
    EXPECT_EQ(recorder->current()->cleanedURL, r.cleanedURL);
    EXPECT_EQ(recorder->current()->surface, "macOSClipboard");
    EXPECT_TRUE(defaults->contains(RulesEngine::matchCountsKey));
}

TEST_F(URLCleanerTest, ExceptedHostIsSkippedWithTheStoresFormOfTheHost) {
    exceptions->disable("News.Example");
    EXPECT_EQ(cleaner->cleanWithOutcome("https://www.news.example/?utm_source=x"),
              CleanOutcome::skippedDisabled("news.example"));
    EXPECT_FALSE(defaults->contains(RulesEngine::matchCountsKey));
}

TEST_F(URLCleanerTest, UntouchedLinksAreUnchangedAndNotRecorded) {
    for (std::string_view input :
         {"https://other.example/a?q=1&page=2", "https://other.example/search?",
          "https://other.example/#frag"}) {
        EXPECT_EQ(cleaner->cleanWithOutcome(input), CleanOutcome::unchanged()) << input;
    }
    EXPECT_EQ(recorder->current(), std::nullopt);
}

TEST_F(URLCleanerTest, ProviderExceptionKeepsItsRulesAwayButNotTheFallback) {
    // The path rule of the excepted provider stays off; the built-in UTM rule applies.
    EXPECT_EQ(cleaned("https://news.example/keep/amp?utm_campaign=").cleanedURL,
              "https://news.example/keep/amp");
}

TEST_F(URLCleanerTest, QueryRebuildingKeepsOrDropsTheQuestionMark) {
    EXPECT_EQ(cleaned("https://news.example/?utm_source=x").cleanedURL, "https://news.example/");
    EXPECT_EQ(cleaned("https://x.com/a?utm_source=x").cleanedURL, "https://x.com/a");
    EXPECT_EQ(cleaned("https://news.example/?utm_source=x#top").cleanedURL,
              "https://news.example/#top");
}

// Kept parameters go back byte for byte, on every host: decoded, "%27",
// "%29" or "%22" would end the link early in the text around it, "%3B" would
// split the parameter on servers that split on ";", and an encoded link in a
// value would read as part of the outer one. Only removed parameters and
// their separators go; the path and fragment stay as written too.
TEST_F(URLCleanerTest, KeptParametersStayAsTheWriterWroteThem) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"https://news.example/search?q=don%27t+panic&utm_source=docs",
         "https://news.example/search?q=don%27t+panic"},
        {"https://news.example/s?q=foo%29bar&utm_source=x", "https://news.example/s?q=foo%29bar"},
        {"https://news.example/s?q=a%3Bb&utm_source=x", "https://news.example/s?q=a%3Bb"},
        {"https://news.example/r?u=https%3A%2F%2Ffoo.com%2F&utm_source=x",
         "https://news.example/r?u=https%3A%2F%2Ffoo.com%2F"},
        {"https://news.example/?q=%22x%22&t=%3Cb%3E&utm_source=x",
         "https://news.example/?q=%22x%22&t=%3Cb%3E"},
        // Escapes that decoding and encoding again would spell otherwise.
        {"https://other.example/p/x/?igshid=1&a=%7e%41", "https://other.example/p/x/?a=%7e%41"},
        {"https://news.example/?utm_source=x&q=c%2B%2B&n=caf%C3%A9",
         "https://news.example/?q=c%2B%2B&n=caf%C3%A9"},
        {"https://news.example/?utm_source=x&q=%FF%FE", "https://news.example/?q=%FF%FE"},
        {"https://news.example/?q=a%20b&utm_source=x&r=%26", "https://news.example/?q=a%20b&r=%26"},
        {"https://news.example/?q=a+b&utm_medium=x", "https://news.example/?q=a+b"},
        {"https://news.example/?flag&utm_medium=x&e=&x=a=b", "https://news.example/?flag&e=&x=a=b"},
        // Empty items between kept ones stay; each removed item takes one "&".
        {"https://news.example/?a=1&&utm_source=x&b=2", "https://news.example/?a=1&&b=2"},
        {"https://news.example/?utm_source=x&utm_medium=y&a=1", "https://news.example/?a=1"},
        // Hosts that always kept their segments keep them still.
        {"https://www.instagram.com/p/x/?igshid=1&a=%7e%41", "https://www.instagram.com/p/x/?a=%7e%41"},
        // The path and the fragment are never spelled anew.
        {"https://news.example/a%20b/%7Ec?utm_source=x#f%20g~", "https://news.example/a%20b/%7Ec#f%20g~"},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(cleaned(input).cleanedURL, expected) << input;
    }
}

// A link copied from HTML source joins its parameters with "&amp;": that is
// the separator, so a tracker on either side of one is found and removed with
// it, and what is kept is joined as it was. No parameter is ever named "amp;".
TEST_F(URLCleanerTest, HtmlEscapedAmpersandsSeparateParameters) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"https://news.example/h?utm_source=html&amp;id=2", "https://news.example/h?id=2"},
        {"https://news.example/h?id=2&amp;utm_source=html", "https://news.example/h?id=2"},
        {"https://news.example/h?a=1&amp;utm_source=x&amp;b=2", "https://news.example/h?a=1&amp;b=2"},
        {"https://news.example/h?utm_source=x&amp;utm_medium=y", "https://news.example/h"},
        {"https://news.example/h?utm_source=x&amp;a=1#top", "https://news.example/h?a=1#top"},
        // Mixed with plain "&", each kept item keeps the separator before it.
        {"https://news.example/h?a=1&utm_source=x&amp;b=2&c=3",
         "https://news.example/h?a=1&amp;b=2&c=3"},
        {"https://news.example/h?a=1&amp;utm_source=x&b=2", "https://news.example/h?a=1&b=2"},
        {"https://news.example/h?utm_source=x&a=1&amp;b=2", "https://news.example/h?a=1&amp;b=2"},
    };
    for (const auto& [input, expected] : cases) {
        const CleanResult r = cleaned(input);
        EXPECT_EQ(r.cleanedURL, expected) << input;
        for (const std::string& name : r.removedQueryParameters) {
            EXPECT_FALSE(name.starts_with("amp;")) << input;
        }
    }
    // Nothing to remove: the link is left as it is.
    EXPECT_EQ(cleaner->cleanWithOutcome("https://news.example/h?a=1&amp;b=2"),
              CleanOutcome::unchanged());
}

TEST_F(URLCleanerTest, RawRuleCountsOnlyWhenNoParameterWasRemoved) {
    const CleanResult pathOnly = cleaned("https://news.example/story/amp");
    EXPECT_EQ(pathOnly.cleanedURL, "https://news.example/story");
    EXPECT_EQ(pathOnly.paramsRemoved, 1);
    ASSERT_EQ(pathOnly.operations.size(), 1u);
    EXPECT_EQ(pathOnly.operations[0].kind, CleanOperationKind::offlinePathRewrite);
    EXPECT_EQ(pathOnly.operations[0].note, "Rule-based path cleanup");
    EXPECT_EQ(pathOnly.matchedRuleIDs, std::vector<std::string>{"Analytics:/amp(?=[/?#]|$)"});

    const CleanResult both = cleaned("https://news.example/story/amp?share_id=1");
    EXPECT_EQ(both.cleanedURL, "https://news.example/story");
    EXPECT_EQ(both.paramsRemoved, 1);
    EXPECT_EQ(both.operations.size(), 2u);
}

TEST_F(URLCleanerTest, WrapperIsUnwrappedAndItsTargetCleaned) {
    const CleanResult plain = cleaned(wrap("https://other.example/page?id=1") + "&wrapper_id=9");
    EXPECT_EQ(plain.cleanedURL, "https://other.example/page?id=1");
    EXPECT_EQ(plain.paramsRemoved, 1);
    EXPECT_TRUE(plain.removedQueryParameters.empty());
    ASSERT_EQ(plain.operations.size(), 1u);
    EXPECT_EQ(plain.operations[0].kind, CleanOperationKind::offlineWrapperUnwrap);
    EXPECT_EQ(plain.operations[0].note, "Rule-based redirect wrapper removal");
    EXPECT_EQ(plain.matchedRuleIDs,
              std::vector<std::string>{"Redirect Unwrapping:^https?://out\\.example/\\?u=([^&]*)"});

    const CleanResult tracked = cleaned(wrap("https://news.example/a?utm_source=x&id=2"));
    EXPECT_EQ(tracked.cleanedURL, "https://news.example/a?id=2");
    EXPECT_EQ(tracked.paramsRemoved, 2);
    EXPECT_EQ(tracked.removedQueryParameters, std::vector<std::string>{"utm_source"});
    EXPECT_EQ(tracked.operations.size(), 2u);
    EXPECT_EQ(tracked.matchedCategories,
              (std::set<RuleCategoryType>{RuleCategoryType::redirectUnwrapping,
                                          RuleCategoryType::analytics}));
}

TEST_F(URLCleanerTest, SixNestedWrappersLeaveTheLastTargetUncleaned) {
    std::string url = "https://news.example/end?utm_source=x";
    for (int i = 0; i < 6; ++i) {
        url = wrap(url);
    }
    const CleanResult r = cleaned(url);
    EXPECT_EQ(r.cleanedURL, "https://news.example/end?utm_source=x");
    EXPECT_EQ(r.paramsRemoved, 6);
    EXPECT_EQ(r.operations.size(), 6u);
}

TEST_F(URLCleanerTest, DisabledUnwrappingCleansTheWrapperAsAnOrdinaryLink) {
    setCategoryEnabled(RuleCategoryType::redirectUnwrapping, false);
    // The kept pair stays encoded as it was.
    const CleanResult r = cleaned(wrap("https://other.example/") + "&utm_source=x");
    EXPECT_EQ(r.cleanedURL, wrap("https://other.example/"));
    EXPECT_EQ(r.removedQueryParameters, std::vector<std::string>{"utm_source"});
}

TEST_F(URLCleanerTest, CraftedWrapperCannotSmuggleLineBreaksOrHiddenText) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"https://a.example/x\n\nrm -rf ~", "https://a.example/x%0A%0Arm%20-rf%20~"},
        {"https://a.example/\r\tb", "https://a.example/%0D%09b"},
        {"https://a.example/\u202Egnp.exe", "https://a.example/%E2%80%AEgnp.exe"},
        {"https://a.example/\u200Bx\u00A0y", "https://a.example/%E2%80%8Bx%C2%A0y"},
    };
    for (const auto& [target, expected] : cases) {
        EXPECT_EQ(cleaned(wrap(target)).cleanedURL, expected);
    }
}

TEST_F(URLCleanerTest, UnwrappedTargetIsAlwaysAStrictlyValidURL) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        // Quotes and angle brackets would break out of an attribute in pasted markup.
        {"https://a.example/\"onmouseover=\"alert(1)",
         "https://a.example/%22onmouseover=%22alert(1)"},
        {"https://a.example/<script>{x}|\\^`", "https://a.example/%3Cscript%3E%7Bx%7D%7C%5C%5E%60"},
        {"https://a.example/caf\u00E9 x?q=\u00FC", "https://a.example/caf%C3%A9%20x?q=%C3%BC"},
        {"https://a.example/#a#b", "https://a.example/#a%23b"},
    };
    for (const auto& [target, expected] : cases) {
        const std::string cleanedURL = cleaned(wrap(target)).cleanedURL;
        EXPECT_EQ(cleanedURL, expected) << target;
        EXPECT_TRUE(URLComponents::parse(cleanedURL)) << cleanedURL;
    }
    // A target that does not parse even leniently (a port that is no number) is
    // no target: the wrapper stays as it is.
    EXPECT_EQ(cleaner->cleanWithOutcome(wrap("https://a.example:bad/x")),
              CleanOutcome::unchanged());
}

// Rules are data from outside; whatever they do, a clean gives a web link
// that parses as it stands, or leaves the link as it was.
TEST_F(URLCleanerTest, NoStepCanTurnALinkIntoSomethingElse) {
    engine->loadRules(R"json({"providers":{
      "scheme eater": {"urlPattern": "^https?://raw\\.example", "rawRules": ["https://"]},
      "slash eater": {"urlPattern": "^https?://slash\\.example", "rawRules": ["//"]},
      "host eater": {"urlPattern": "^https?://host\\.example",
                     "rawRules": ["host\\.example"], "rules": ["utm_source"]},
      "everything eater": {"urlPattern": "^https?://all\\.example", "rawRules": [".*"]},
      "out wrapper": {"urlPattern": "^https?://out\\.example",
                      "redirections": ["^https?://out\\.example/\\?u=([^&]*)"]}
    }})json");
    const std::string_view leftAlone[] = {
        "https://raw.example/p?x=1",
        "https://slash.example/p?x=1",
        "https://host.example/p?utm_source=x",
        "https://all.example/p",
        // A wrapper whose target is a scheme without a host.
        "https://out.example/?u=https%3A%2F%2F",
        "https://out.example/?u=http%3A%2F%2F%3Fq%3D1",
    };
    for (std::string_view url : leftAlone) {
        EXPECT_EQ(cleaner->cleanWithOutcome(url), CleanOutcome::unchanged()) << url;
        EXPECT_EQ(cleaner->cleanWithOutcome("  " + std::string(url) + "\n"),
                  CleanOutcome::unchanged())
            << url;
    }
    EXPECT_EQ(recorder->current(), std::nullopt);
    // The same wrapper with a real target still unwraps.
    EXPECT_EQ(cleaned("https://out.example/?u=https%3A%2F%2Fa.example%2F").cleanedURL,
              "https://a.example/");
}

// The front end the user typed may be spelled "HTTPS://"; its links are
// still written as the web links every clean gives.
TEST_F(URLCleanerTest, FrontEndTypedInCapitalsStillRewrites) {
    PrivacyRedirectSettings settings;
    settings.redditRedirectEnabled = true;
    settings.redditFrontendBaseURL = "HTTPS://Redlib.example/";
    cleaner = makeCleaner(settings);
    const CleanResult reddit = cleaned("https://old.reddit.com/r/x/?utm_source=share");
    EXPECT_EQ(reddit.cleanedURL, "https://Redlib.example/r/x/");
}

TEST_F(URLCleanerTest, UnwrappedTargetSchemeIgnoresLetterCase) {
    for (std::string_view scheme : {"https", "HTTPS", "htTps", "hTTp"}) {
        const CleanResult r = cleaned(wrap(std::string(scheme) + "://news.example/a?id=1&ref_src=tw"));
        const std::string expected = asciiLowercased(scheme) + "://news.example/a?id=1";
        EXPECT_EQ(r.cleanedURL, expected) << scheme;
        EXPECT_EQ(r.paramsRemoved, 2) << scheme;  // the wrapper and ref_src
        EXPECT_EQ(r.removedQueryParameters, std::vector<std::string>{"ref_src"}) << scheme;
    }
}

TEST_F(URLCleanerTest, EncodingChangeAloneIsNoClean) {
    for (std::string_view input :
         {"https://other.example/p?t=abc==", "https://other.example/p?a=%7e%41&b=%20",
          "https://news.example/p?x=a%2fb;c", "https://other.example/p?q=%C3%BC&=&&"}) {
        EXPECT_EQ(cleaner->cleanWithOutcome(input), CleanOutcome::unchanged()) << input;
    }
    EXPECT_EQ(recorder->current(), std::nullopt);
    EXPECT_FALSE(defaults->contains(RulesEngine::matchCountsKey));
}

TEST_F(URLCleanerTest, OneTimeBudgetBoundsTheWholeClean) {
    // Every parameter name makes the hostile rule backtrack to its step limit.
    engine->loadRules(R"json({"providers":{"slow": {"urlPattern": "^https?://slow\\.example",
        "rules": ["(a+)+$", "(b?a+)+$", "(a|aa)+$"]}}})json");
    std::string url = "https://slow.example/?";
    const std::string name(40, 'a');
    for (int i = 0; i < 200; ++i) {
        url.append(name).append("!=").append(std::to_string(i)).append("&");
    }
    url.append("utm_source=x");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(cleaner->cleanWithOutcome(url), CleanOutcome::unchanged());
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_LT(took, URLCleaner::cleaningTimeBudget + std::chrono::milliseconds(750));
    EXPECT_EQ(recorder->current(), std::nullopt);
    // The next clean has a budget of its own.
    EXPECT_EQ(cleaned("https://slow.example/?utm_source=x").cleanedURL, "https://slow.example/");
}

TEST_F(URLCleanerTest, ExceptionCutShortByALimitCountsAsAnException) {
    engine->loadRules(R"json({"providers":{"guarded": {"urlPattern": "^https?://guarded\\.example",
        "rules": ["track"], "exceptions": ["^https?://guarded\\.example/(a+)+$"]}}})json");
    // The exception's search gives up on its step limit: the provider's rules stay off.
    const std::string url = "https://guarded.example/" + std::string(40, 'a') + "!?track=1";
    EXPECT_EQ(cleaner->cleanWithOutcome(url), CleanOutcome::unchanged());
    EXPECT_EQ(cleaned("https://guarded.example/b?track=1").cleanedURL,
              "https://guarded.example/b");
}

TEST_F(URLCleanerTest, UnwrapThatChangesNothingIsNoUnwrap) {
    // The first rule captures the whole link; the second finds the real target.
    const CleanResult r = cleaned("https://echo.example/go?next=https%3A%2F%2Fother.example%2F");
    EXPECT_EQ(r.cleanedURL, "https://other.example/");
    EXPECT_EQ(cleaner->cleanWithOutcome("https://echo.example/plain"), CleanOutcome::unchanged());
}

TEST_F(URLCleanerTest, GoogleSearchClientAndLocalFragment) {
    const CleanResult r =
        cleaned("https://www.google.com/search?q=pizza&client=firefox-b-d#lkt=LocalPoiReviews");
    EXPECT_EQ(r.cleanedURL, "https://www.google.com/search?q=pizza");
    EXPECT_EQ(r.paramsRemoved, 2);
    EXPECT_EQ(r.matchedRuleIDs,
              (std::vector<std::string>{"Analytics:google_search:client",
                                        "Analytics:google_search:local_fragment"}));
    ASSERT_EQ(r.operations.size(), 2u);
    EXPECT_EQ(r.operations[1].removedParameters, std::vector<std::string>{"#google-local-state"});

    setCategoryEnabled(RuleCategoryType::analytics, false);
    EXPECT_EQ(cleaner->cleanWithOutcome("https://www.google.com/search?q=pizza&client=x#lkt=1"),
              CleanOutcome::unchanged());
}

TEST_F(URLCleanerTest, RedditChallengeParametersGo) {
    const CleanResult r = cleaned(
        "https://www.reddit.com/r/x/?solution=a&js_challenge=1&token=b&jsc_orig_r=c&sort=new");
    EXPECT_EQ(r.cleanedURL, "https://www.reddit.com/r/x/?sort=new");
    EXPECT_EQ(r.matchedRuleIDs.front(), "Social Media:reddit_js_challenge:solution");
    EXPECT_EQ(cleaner->cleanWithOutcome("https://www.reddit.com/r/x/?js_challenge=2"),
              CleanOutcome::unchanged());
}

TEST_F(URLCleanerTest, PrivacyRewriteForRedditAndX) {
    PrivacyRedirectSettings settings;
    settings.redditRedirectEnabled = true;
    settings.redditFrontendBaseURL = "https://redlib.example/";
    settings.xRedirectChoice = XRedirectChoice::twitterViewer;
    cleaner = makeCleaner(settings);

    const CleanResult reddit = cleaned("https://old.reddit.com/r/x/?utm_source=share");
    EXPECT_EQ(reddit.cleanedURL, "https://redlib.example/r/x/");
    EXPECT_EQ(reddit.cleanedOriginalURL, "https://old.reddit.com/r/x/");
    ASSERT_TRUE(reddit.privacyRedirect);
    EXPECT_EQ(reddit.privacyRedirect->frontendHost, "redlib.example");
    EXPECT_EQ(reddit.operations.back().kind, CleanOperationKind::privacyRedirect);
    EXPECT_EQ(reddit.operations.back().note, "User-enabled privacy frontend rewrite");

    // Only the rewrite changes this link: nothing counts as removed.
    const CleanResult x = cleaned("https://x.com/someone");
    EXPECT_EQ(x.cleanedURL, "https://twitterviewer.net/someone");
    EXPECT_EQ(x.paramsRemoved, 0);
    EXPECT_EQ(x.cleanedOriginalURL, "https://x.com/someone");
    EXPECT_EQ(x.operations.size(), 1u);

    // Through a wrapper, both halves of the rewrite are carried out.
    const CleanResult wrapped = cleaned(wrap("https://x.com/someone?utm_source=x"));
    EXPECT_EQ(wrapped.cleanedURL, "https://twitterviewer.net/someone");
    EXPECT_EQ(wrapped.cleanedOriginalURL, "https://x.com/someone");
    EXPECT_TRUE(wrapped.privacyRedirect);
}

TEST_F(URLCleanerTest, ResultAfterNetworkResolution) {
    const CleanResult prior = cleaned("https://news.example/s?utm_source=x");
    const CleanResult r = cleaner->resultAfterNetworkResolution(
        "https://news.example/s?utm_source=x", "https://other.example/p?utm_medium=y&id=1",
        "news.example", prior);
    EXPECT_EQ(r.originalURL, "https://news.example/s?utm_source=x");
    EXPECT_EQ(r.cleanedURL, "https://other.example/p?id=1");
    EXPECT_EQ(r.paramsRemoved, 2);
    EXPECT_EQ(r.removedQueryParameters, (std::vector<std::string>{"utm_source", "utm_medium"}));
    ASSERT_EQ(r.operations.size(), 3u);
    EXPECT_EQ(r.operations[1].kind, CleanOperationKind::networkResolution);
    EXPECT_EQ(r.operations[1].inputURL, "https://news.example/s");
    EXPECT_TRUE(r.operations[1].networkUsed);
    EXPECT_EQ(r.operations[1].contactedHost, "news.example");

    // A prior result for another link is ignored; an excepted resolved host is kept as given.
    exceptions->disable("other.example");
    const CleanResult other = cleaner->resultAfterNetworkResolution(
        "https://a.co/d/x", "https://other.example/p?utm_medium=y", "a.co", prior);
    EXPECT_EQ(other.cleanedURL, "https://other.example/p?utm_medium=y");
    EXPECT_EQ(other.paramsRemoved, 0);
    ASSERT_EQ(other.operations.size(), 1u);
    EXPECT_EQ(other.operations[0].inputURL, "https://a.co/d/x");
}

}  // namespace
}  // namespace scourlet

#include "ScourletCore/linkrewriting/PrivacyRedirector.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/FixtureSigner.h"

namespace scourlet {
namespace {

using testing::FixtureCatalog;
using testing::FixtureKey;
using testing::FixtureService;
using testing::kFixtureGenerated;
using testing::kFixtureReviewed;
using Settings = PrivacyRedirectSettings;
using Verified = PrivacyServicesCatalog::Verified;

constexpr std::string_view kUnavailable =
    "Selected Nitter-compatible instance unavailable or ineligible. X/Twitter links stay "
    "canonical; no substitute selected.";

Verified fixtureCatalog() {
    static const FixtureKey key = FixtureKey::generate("catalog-key");
    FixtureCatalog catalog;
    catalog.generated = kFixtureGenerated;
    auto alpha = FixtureService::nitter("a-alpha", kFixtureReviewed);
    alpha.displayName = "Alpha Nitter";
    auto beta = FixtureService::nitter("b-beta", kFixtureReviewed);
    beta.destination = "https://beta.example/";
    auto gamma = FixtureService::nitter("c-gamma", kFixtureReviewed);
    gamma.shapes = {"profile"};
    auto delta = FixtureService::nitter("d-delta", kFixtureReviewed);
    delta.state = "paused";
    catalog.services = {alpha, beta, gamma, delta};
    const auto files = testing::signCatalog(catalog, key);
    auto verified = PrivacyServicesCatalog::verify(files.payload, files.envelope,
                                                   testing::keysetText({&key}), std::nullopt);
    EXPECT_TRUE(verified.ok());
    return *verified;
}

Settings nitter(std::string id, bool automatic = false) {
    Settings settings;
    settings.xRedirectChoice = XRedirectChoice::nitter;
    settings.nitterServiceID = std::move(id);
    settings.nitterAutomatic = automatic;
    return settings;
}

Settings twitterViewer() {
    Settings settings;
    settings.xRedirectChoice = XRedirectChoice::twitterViewer;
    return settings;
}

Settings reddit(std::string base) {
    Settings settings;
    settings.redditRedirectEnabled = true;
    settings.redditFrontendBaseURL = std::move(base);
    return settings;
}

class PrivacyRedirectorTest : public ::testing::Test {
protected:
    const PrivacyRedirector redirector{fixtureCatalog(), kFixtureGenerated};

    std::optional<std::string> rewritten(std::string_view url, const Settings& settings) const {
        auto result = redirector.redirect(url, settings);
        if (!result) {
            return std::nullopt;
        }
        EXPECT_EQ(result->originalURL, url);
        return result->redirectedURL;
    }
};

TEST_F(PrivacyRedirectorTest, NitterRewritesProfileAndStatusLinks) {
    auto result = redirector.redirect("https://x.com/someone?lang=en#top", nitter("a-alpha"));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, (PrivacyRedirectResult{"https://x.com/someone?lang=en#top",
                                              "https://a-alpha.example/someone?lang=en#top",
                                              PrivacyRedirectService::xTwitter, "x.com",
                                              "a-alpha.example"}));

    struct Case {
        const char* url;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"https://x.com/someone/status/12345", "https://a-alpha.example/someone/status/12345"},
        {"https://x.com/i/status/12345", "https://a-alpha.example/i/status/12345"},
        {"https://www.x.com/someone", "https://a-alpha.example/someone"},
        {"https://twitter.com/some_one_12345", "https://a-alpha.example/some_one_12345"},
        {"https://mobile.twitter.com/a/status/1", "https://a-alpha.example/a/status/1"},
        {"HTTPS://X.COM/Someone", "https://a-alpha.example/Someone"},
        {"https://x.com/someone/status/12345678901234567890",
         "https://a-alpha.example/someone/status/12345678901234567890"},
        // Paths of no supported shape.
        {"https://x.com/home", std::nullopt},
        {"https://x.com/Home", std::nullopt},
        {"https://x.com/i", std::nullopt},
        {"https://x.com/search/status/1", std::nullopt},
        {"https://x.com/someone/", std::nullopt},
        {"https://x.com/someone/likes", std::nullopt},
        {"https://x.com", std::nullopt},
        {"https://x.com?q=1", std::nullopt},
        {"https://x.com/sixteencharacter", std::nullopt},
        {"https://x.com/someone/status/123456789012345678901", std::nullopt},
        {"https://x.com/someone/status/1/photo/1", std::nullopt},
        {"https://x.com/%73omeone", std::nullopt},
        // Forms the redirector does not take apart.
        {"http://x.com/someone", std::nullopt},
        {"https://x.com:443/someone", std::nullopt},
        {"https://x.com:/someone", std::nullopt},
        {"https://user@x.com/someone", std::nullopt},
        {"https://user:pw@x.com/someone", std::nullopt},
        {"https://x.com\\someone", std::nullopt},
        {"https://x.com/some\\one", std::nullopt},
        {"https://x.com./someone", std::nullopt},
        {"https:/x.com/someone", std::nullopt},
        {"ftp://x.com/someone", std::nullopt},
        {"https://example.com/someone", std::nullopt},
        {"not a url", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rewritten(c.url, nitter("a-alpha")), c.expected) << c.url;
    }
}

TEST_F(PrivacyRedirectorTest, AnExplicitPickIsNeverReplaced) {
    // The picked instance serves profiles only: status links stay put.
    EXPECT_EQ(rewritten("https://x.com/someone", nitter("c-gamma")),
              "https://c-gamma.example/someone");
    EXPECT_EQ(rewritten("https://x.com/someone/status/1", nitter("c-gamma")), std::nullopt);
    // Paused, missing and empty picks rewrite nothing.
    for (const char* id : {"d-delta", "missing", ""}) {
        EXPECT_EQ(rewritten("https://x.com/someone", nitter(id)), std::nullopt) << id;
        EXPECT_EQ(redirector.status(nitter(id)), kUnavailable) << id;
    }
    // A destination with a trailing slash is used without it.
    EXPECT_EQ(rewritten("https://x.com/someone", nitter("b-beta")), "https://beta.example/someone");
}

TEST_F(PrivacyRedirectorTest, AutomaticSelectionTakesTheSmallestFittingId) {
    EXPECT_EQ(redirector.selectedService(nitter("", true), std::nullopt)->id, "a-alpha");
    EXPECT_EQ(redirector.selectedService(nitter("c-gamma", true), "status")->id, "a-alpha");
    EXPECT_EQ(redirector.selectedService(nitter("", false), std::nullopt), std::nullopt);
    EXPECT_EQ(redirector.selectedService(nitter("b-beta"), "status")->id, "b-beta");
    EXPECT_EQ(redirector.selectedService(nitter("c-gamma"), "status"), std::nullopt);
    EXPECT_EQ(redirector.selectedService(nitter("c-gamma"), "Profile"), std::nullopt);
    EXPECT_EQ(redirector.selectedService(twitterViewer(), std::nullopt), std::nullopt);
    EXPECT_EQ(rewritten("https://x.com/someone", nitter("zzz", true)),
              "https://a-alpha.example/someone");
}

TEST_F(PrivacyRedirectorTest, StatusTexts) {
    EXPECT_EQ(redirector.status(Settings::disabled()),
              "Nitter-compatible redirects are not selected.");
    EXPECT_EQ(redirector.status(twitterViewer()), "Nitter-compatible redirects are not selected.");
    EXPECT_EQ(redirector.status(nitter("a-alpha")),
              "Selected instance: Alpha Nitter. Only supported public paths are redirected. "
              "Availability is not checked.");
    EXPECT_EQ(redirector.status(nitter("b-beta", true)),
              "Automatic selection: Alpha Nitter. Only supported public paths are redirected. "
              "Availability is not checked.");
    EXPECT_EQ(redirector.status(nitter("c-gamma")),
              "Selected instance: Instance c-gamma. Only supported public paths are redirected. "
              "Availability is not checked.");
}

TEST_F(PrivacyRedirectorTest, NoCatalogOrAStaleOneRewritesNothing) {
    const PrivacyRedirector withoutCatalog(std::nullopt, kFixtureGenerated);
    EXPECT_EQ(withoutCatalog.redirect("https://x.com/someone", nitter("a-alpha", true)),
              std::nullopt);
    EXPECT_EQ(withoutCatalog.status(nitter("a-alpha")), kUnavailable);
    const PrivacyRedirector stale(fixtureCatalog(),
                                  kFixtureReviewed + PrivacyServicesCatalog::kReviewWindow + 1);
    EXPECT_EQ(stale.redirect("https://x.com/someone", nitter("a-alpha")), std::nullopt);
    const PrivacyRedirector early(fixtureCatalog(), kFixtureGenerated - 1);
    EXPECT_EQ(early.redirect("https://x.com/someone", nitter("a-alpha")), std::nullopt);
}

TEST_F(PrivacyRedirectorTest, TwitterViewerTakesProfilesAndHandleStatusLinks) {
    struct Case {
        const char* url;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"https://twitter.com/someone", "https://twitterviewer.net/someone"},
        {"https://x.com/someone/status/42?s=20",
         "https://twitterviewer.net/someone/status/42?s=20"},
        {"https://x.com/i/status/42", std::nullopt},
        {"https://x.com/explore", std::nullopt},
        {"http://twitter.com/someone", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rewritten(c.url, twitterViewer()), c.expected) << c.url;
    }
    // Works without any catalog.
    EXPECT_TRUE(PrivacyRedirector(std::nullopt, 0).redirect("https://x.com/a", twitterViewer()));
}

TEST_F(PrivacyRedirectorTest, RedditLinksGoToTheUsersFrontend) {
    auto result = redirector.redirect("http://old.reddit.com/r/x/?sort=top", reddit(""));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->redirectedURL, "https://safereddit.com/r/x/?sort=top");
    EXPECT_EQ(result->service, PrivacyRedirectService::reddit);
    EXPECT_EQ(result->originalHost, "old.reddit.com");
    EXPECT_EQ(result->frontendHost, "safereddit.com");

    struct Case {
        const char* url;
        std::string base;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"https://www.reddit.com/r/x", "redlib.example/some/path/", "https://redlib.example/r/x"},
        {"https://reddit.com/r/x#c", "https://Redlib.Example:8080/",
         "https://Redlib.Example:8080/r/x#c"},
        {"https://user:pw@np.reddit.com/r/x", "", "https://safereddit.com/r/x"},
        {"https://m.reddit.com:8443/r/x", "", "https://safereddit.com/r/x"},
        {"HTTPS://NEW.REDDIT.COM/r/X", "", "https://safereddit.com/r/X"},
        {"https://www.reddit.com/r/x", "ftp://redlib.example", "https://safereddit.com/r/x"},
        {"https://www.reddit.com/r/x", "https://redlib.example?x=1", "https://safereddit.com/r/x"},
        {"https://www.reddit.com/r/x", "https://me@redlib.example", "https://safereddit.com/r/x"},
        {"https://www.reddit.com/r/x", "https://reddit.com", "https://reddit.com/r/x"},
        {"https://reddit.com/r/x", "https://reddit.com", std::nullopt},
        {"http://reddit.com/r/x", "https://reddit.com", std::nullopt},
        {"https://REDDIT.com/r/x", "https://reddit.com", std::nullopt},
        {"https://safereddit.com/r/x", "", std::nullopt},
        {"https://sub.reddit.com/r/x", "", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rewritten(c.url, reddit(c.base)), c.expected) << c.url << " via " << c.base;
    }
    Settings off = reddit("");
    off.redditRedirectEnabled = false;
    EXPECT_EQ(rewritten("https://www.reddit.com/r/x", off), std::nullopt);
}

TEST_F(PrivacyRedirectorTest, NothingIsRewrittenWhenBothAreOff) {
    Settings off = Settings::disabled();
    for (const char* url : {"https://x.com/someone", "https://www.reddit.com/r/x",
                            "https://twitter.com/a/status/1"}) {
        EXPECT_EQ(rewritten(url, off), std::nullopt) << url;
    }
    // Reddit on does not touch X/Twitter links.
    EXPECT_EQ(rewritten("https://x.com/someone", reddit("")), std::nullopt);
}

TEST(NormalizedFrontendBaseURLTest, Table) {
    struct Case {
        const char* raw;
        std::optional<std::string_view> fallback;
        std::optional<std::string> expected;
    };
    const std::string_view fallback = "https://fallback.example/";
    const Case cases[] = {
        {"  \n", std::nullopt, std::nullopt},
        {"", fallback, "https://fallback.example"},
        {"redlib.example/path/", std::nullopt, "https://redlib.example"},
        {" https://r.example/ \n", std::nullopt, "https://r.example"},
        {"http://r.example", std::nullopt, "http://r.example"},
        {"https://r.example:8443/", std::nullopt, "https://r.example:8443"},
        {"https://r.example:8443/a/b?", fallback, "https://fallback.example"},
        {"HTTPS://R.Example/x", std::nullopt, "https://R.Example"},
        {"ftp://r.example", fallback, "https://fallback.example"},
        {"https://r.example/?q=1", fallback, "https://fallback.example"},
        {"https://r.example#f", fallback, "https://fallback.example"},
        {"https://user@r.example", fallback, "https://fallback.example"},
        {"https://", fallback, "https://fallback.example"},
        {"https://r example", fallback, "https://fallback.example"},
        {"ftp://r.example", std::nullopt, std::nullopt},
        {"ftp://a.example", "ftp://a.example", std::nullopt},
        {"ftp://a.example", "ftp://b.example", std::nullopt},
        {"ftp://a.example", "b.example/", "https://b.example"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PrivacyRedirector::normalizedFrontendBaseURL(c.raw, c.fallback), c.expected)
            << "'" << c.raw << "'";
    }
}

TEST(PrivacyRedirectorHostsTest, FixedHostSets) {
    EXPECT_EQ(PrivacyRedirector::xTwitterSourceHosts(),
              (std::vector<std::string>{"mobile.twitter.com", "twitter.com", "www.twitter.com",
                                        "www.x.com", "x.com"}));
    EXPECT_EQ(PrivacyRedirector::redditSourceHosts(),
              (std::vector<std::string>{"m.reddit.com", "new.reddit.com", "np.reddit.com",
                                        "old.reddit.com", "reddit.com", "www.reddit.com"}));
}

}  // namespace
}  // namespace scourlet

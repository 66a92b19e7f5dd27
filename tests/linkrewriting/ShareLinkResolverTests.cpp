// The resolver's decisions over a scripted transport: what it sends, which
// redirects it follows and how each outcome maps to its error.
#include "ScourletCore/linkrewriting/ShareLinkResolver.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/FakeHttpTransport.h"

namespace scourlet {
namespace {

using testing::FakeHttpTransport;
using Error = ShareLinkResolutionError;
using Kind = HttpError::Kind;

constexpr const char* kShortLink = "https://a.co/d/Abc_-9";
constexpr const char* kProduct = "https://www.amazon.com/dp/B0ABCDEFGH";

// A chain of `hops` redirects from the short link over the store host, ending
// on the product page.
void scriptAmazonChain(FakeHttpTransport& http, int hops) {
    std::string from = kShortLink;
    for (int hop = 1; hop < hops; ++hop) {
        const std::string next = "https://www.amazon.com/hop" + std::to_string(hop);
        http.on(from, FakeHttpTransport::redirect(next, hop % 2 == 0 ? 301 : 302));
        from = next;
    }
    http.on(from, FakeHttpTransport::redirect(std::string(kProduct) + "?ref=share"));
    http.on(std::string(kProduct) + "?ref=share", FakeHttpTransport::ok("<html>"));
}

TEST(ShareLinkResolverTest, LinksThatAreNoShareLinksAreNeverSent) {
    for (const char* link : {"https://a.co/xyz", "https://example.com/share/x", "http://a.co/d/Abc",
                             "https://a.co/d/Abc?tag=x", ""}) {
        FakeHttpTransport http;
        const auto resolved = ShareLinkResolver::resolve(link, http);
        ASSERT_FALSE(resolved.ok()) << link;
        EXPECT_EQ(resolved.error(), Error::unsupported) << link;
        EXPECT_TRUE(http.sent().empty()) << link;
    }
}

TEST(ShareLinkResolverTest, SendsOneBoundedRequestThatReadsNoBody) {
    FakeHttpTransport http;
    scriptAmazonChain(http, 1);
    ASSERT_TRUE(ShareLinkResolver::resolve(kShortLink, http).ok());

    const auto sent = http.sent();
    ASSERT_EQ(sent.size(), 2u);
    const auto& first = sent.front();
    EXPECT_EQ(first.url, kShortLink);
    EXPECT_EQ(first.headerFields.all(),
              (std::vector<HttpHeaderField>{{"User-Agent", "Scourlet/1.0"},
                                            {"Accept", "text/html,application/xhtml+xml"}}));
    EXPECT_EQ(first.bodyHandling, HttpBodyHandling::stopAfterHead);
    EXPECT_TRUE(first.hasRedirectHook);
    EXPECT_EQ(first.options.totalTimeout(), std::chrono::seconds(8));
    EXPECT_EQ(first.options.connectTimeout(), std::chrono::seconds(6));
    EXPECT_EQ(first.options.idleTimeout(), std::chrono::seconds(6));
    EXPECT_EQ(first.options.maxRedirects(), 4);
    EXPECT_EQ(first.options.maxBodyBytes(), 0u);
    EXPECT_EQ(first.options.allowedSchemes(), std::vector<std::string>{"https"});
}

TEST(ShareLinkResolverTest, FollowsUpToFourRedirectsOnTheService) {
    for (int hops = 1; hops <= 4; ++hops) {
        FakeHttpTransport http;
        scriptAmazonChain(http, hops);
        const auto resolved = ShareLinkResolver::resolve(kShortLink, http);
        ASSERT_TRUE(resolved.ok()) << hops;
        EXPECT_EQ(*resolved, (ResolvedShareLink{kShortLink, kProduct, "a.co", hops}));
    }
}

TEST(ShareLinkResolverTest, AFifthRedirectIsRefused) {
    FakeHttpTransport http;
    scriptAmazonChain(http, 5);
    const auto resolved = ShareLinkResolver::resolve(kShortLink, http);
    ASSERT_FALSE(resolved.ok());
    EXPECT_EQ(resolved.error(), Error::unsafeRedirect);
    const auto sent = http.sent();
    ASSERT_EQ(sent.size(), 5u);  // the link and four followed redirects
    EXPECT_EQ(sent.back().url, "https://www.amazon.com/hop4");
}

TEST(ShareLinkResolverTest, RedirectsThatLeaveTheServiceAreRefused) {
    const std::vector<std::string> targets = {
        "https://amazon.com/dp/B0ABCDEFGH",  // bare store domain
        "https://evil.test/dp/B0ABCDEFGH",
        "http://www.amazon.com/dp/B0ABCDEFGH",  // another scheme
        "https://user@www.amazon.com/dp/B0ABCDEFGH",
        "https://www.amazon.com:443/dp/B0ABCDEFGH",  // an explicit port, even the usual one
        "https://www.amazon.com.evil.test/dp/B0ABCDEFGH",
        "javascript:alert(1)",  // no target at all
        "",
    };
    for (const auto& target : targets) {
        FakeHttpTransport http;
        http.on(kShortLink, FakeHttpTransport::redirect(target));
        http.on(target, FakeHttpTransport::ok());
        const auto resolved = ShareLinkResolver::resolve(kShortLink, http);
        ASSERT_FALSE(resolved.ok()) << target;
        EXPECT_EQ(resolved.error(), Error::unsafeRedirect) << target;
        EXPECT_EQ(http.sent().size(), 1u) << target << " was requested";
    }
}

TEST(ShareLinkResolverTest, ResolvesInstagramAndThreadsShareLinks) {
    struct Case {
        std::string link;
        std::string location;
        std::string canonical;
        std::string host;
    };
    const std::vector<Case> cases = {
        {"https://www.instagram.com/share/AbC", "/reel/XYZ/?igsh=1",
         "https://www.instagram.com/reel/XYZ/?igsh=1", "www.instagram.com"},
        {"https://WWW.Threads.net/share/AbC/", "https://www.threads.com/@someone/post/XYZ",
         "https://www.threads.com/@someone/post/XYZ", "WWW.Threads.net"},
    };
    for (const auto& c : cases) {
        FakeHttpTransport http;
        http.on(c.link, FakeHttpTransport::redirect(c.location, 301));
        http.on(c.canonical, FakeHttpTransport::ok());
        const auto resolved = ShareLinkResolver::resolve(c.link, http);
        ASSERT_TRUE(resolved.ok()) << c.link;
        EXPECT_EQ(*resolved, (ResolvedShareLink{c.link, c.canonical, c.host, 1}));
    }
}

// Where the service leads decides; the final status does not.
TEST(ShareLinkResolverTest, TheFinalAddressMustBeCanonical) {
    struct Case {
        const char* what;
        std::string finalURL;
        int status;
        bool resolved;
    };
    const std::vector<Case> cases = {
        {"product page with an error status", kProduct, 404, true},
        {"product page", kProduct, 200, true},
        {"store front", "https://www.amazon.com/", 200, false},
        {"product with a title", "https://www.amazon.com/Title/dp/B0ABCDEFGH", 200, false},
        {"lower-case product id", "https://www.amazon.com/dp/b0abcdefgh", 200, false},
    };
    for (const auto& c : cases) {
        FakeHttpTransport http;
        http.on(kShortLink, FakeHttpTransport::redirect(c.finalURL));
        http.on(c.finalURL, FakeHttpTransport::ok("", c.status));
        const auto resolved = ShareLinkResolver::resolve(kShortLink, http);
        EXPECT_EQ(resolved.ok(), c.resolved) << c.what;
        if (!c.resolved && !resolved.ok()) {
            EXPECT_EQ(resolved.error(), Error::noCanonicalDestination) << c.what;
        }
    }
    // A share link that answers without redirecting is no canonical link.
    FakeHttpTransport http;
    http.on(kShortLink, FakeHttpTransport::ok());
    const auto resolved = ShareLinkResolver::resolve(kShortLink, http);
    ASSERT_FALSE(resolved.ok());
    EXPECT_EQ(resolved.error(), Error::noCanonicalDestination);
}

TEST(ShareLinkResolverTest, EveryOtherFailureOfTheRequestIsRequestFailed) {
    for (const Kind kind :
         {Kind::connectionFailed, Kind::tlsFailure, Kind::connectTimeout, Kind::idleTimeout,
          Kind::totalTimeout, Kind::transferFailed, Kind::bodyTooLarge, Kind::cancelled}) {
        FakeHttpTransport http;
        http.on(kShortLink, FakeHttpTransport::redirect(kProduct));
        http.on(kProduct, FakeHttpTransport::failure(kind));
        const auto resolved = ShareLinkResolver::resolve(kShortLink, http);
        ASSERT_FALSE(resolved.ok()) << name(kind);
        EXPECT_EQ(resolved.error(), Error::requestFailed) << name(kind);
    }
}

}  // namespace
}  // namespace scourlet

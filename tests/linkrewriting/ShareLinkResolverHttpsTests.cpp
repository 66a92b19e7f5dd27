// The resolver over the real libcurl transport against an HTTPS server on
// 127.0.0.1. Every service host is pinned to that server and only the test's
// own CA is trusted, so no real service is ever contacted; time-outs are
// scaled down so the stalls take a fraction of a second.
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/linkrewriting/ShareLinkResolver.h"
#include "ScourletCore/platform/CurlHttpTransport.h"
#include "support/TempDir.h"
#include "support/TestCertificateAuthority.h"
#include "support/TestHttpsServer.h"

namespace scourlet {
namespace {

using namespace std::chrono_literals;
using testing::TestCertificateAuthority;
using testing::TestHttpsServer;
using Error = ShareLinkResolutionError;
using SteadyClock = std::chrono::steady_clock;

// Short enough that the stall test is quick, long enough that a TLS hop of a
// sanitized build on a busy machine never runs into them.
constexpr auto kScaledRequestTimeout = 2s;
constexpr auto kScaledResourceTimeout = 4s;

const std::vector<std::string> kHosts = {
    "a.co",
    "www.amazon.com",
    "amazon.com",
    "evil.test",
    "www.instagram.com",
    "www.threads.net",
    "www.threads.com",
};

// Passes each request on with the resolver's time-outs scaled down and checks
// that the resolver asked for the ones it documents.
class ScaledTimeouts final : public HttpTransport {
public:
    explicit ScaledTimeouts(HttpTransport& inner) : inner_(inner) {}

    Result<HttpResponse, HttpError> send(const HttpRequest& request) override {
        EXPECT_EQ(request.options.idleTimeout(), ShareLinkResolver::kRequestTimeout);
        EXPECT_EQ(request.options.totalTimeout(), ShareLinkResolver::kResourceTimeout);
        HttpRequest scaled = request;
        EXPECT_TRUE(scaled.options.setConnectTimeout(kScaledRequestTimeout).ok());
        EXPECT_TRUE(scaled.options.setIdleTimeout(kScaledRequestTimeout).ok());
        EXPECT_TRUE(scaled.options.setTotalTimeout(kScaledResourceTimeout).ok());
        return inner_.send(scaled);
    }

private:
    HttpTransport& inner_;
};

class ShareLinkResolverHttpsTest : public ::testing::Test {
protected:
    ShareLinkResolverHttpsTest() { ca_.writePem(dir_ / "ca.pem"); }

    Result<ResolvedShareLink, ShareLinkResolutionError> resolve(std::string_view link,
                                                                int port = 0) {
        if (port == 0) {
            server_.start();
            port = server_.port();
        }
        CurlHttpTransport::Settings settings;
        settings.connectOverrides.push_back({"", 0, "127.0.0.1", port});
        settings.caFile = (dir_ / "ca.pem").string();
        auto curl = CurlHttpTransport::withSettings(std::move(settings));
        EXPECT_TRUE(curl.ok());
        ScaledTimeouts transport(*curl);
        return ShareLinkResolver::resolve(link, transport);
    }

    void redirect(const std::string& host, const std::string& path, std::string location,
                  int status = 302) {
        server_.on(host, path, [location, status](const auto&, httplib::Response& res) {
            res.status = status;
            res.set_header("Location", location);
            res.set_header("Set-Cookie", "session-id=123; Path=/; Secure");
            res.set_content("<a href=\"" + location + "\">moved</a>", "text/html");
        });
    }

    void page(const std::string& host, const std::string& path, int status = 200) {
        server_.on(host, path, [status](const auto&, httplib::Response& res) {
            res.status = status;
            res.set_content("<html>product</html>", "text/html");
        });
    }

    std::vector<std::string> requested() const {
        std::vector<std::string> urls;
        for (const auto& r : server_.requests()) {
            urls.push_back(r.host + r.target);
        }
        return urls;
    }

    testing::TempDir dir_;
    TestCertificateAuthority ca_{"Scourlet Test CA"};
    TestHttpsServer server_{ca_.issue(kHosts)};
};

TEST_F(ShareLinkResolverHttpsTest, FollowsAChainOfFourRedirects) {
    redirect("a.co", "/d/Abc_-9", "https://www.amazon.com/hop1", 301);
    redirect("www.amazon.com", "/hop1", "/hop2", 302);
    redirect("www.amazon.com", "/hop2", "https://WWW.AMAZON.COM/hop3", 307);
    redirect("www.amazon.com", "/hop3", "/dp/B0ABCDEFGH?ref=share&tag=x", 308);
    page("www.amazon.com", "/dp/B0ABCDEFGH");

    const auto resolved = resolve("https://a.co/d/Abc_-9");

    ASSERT_TRUE(resolved.ok()) << errorDescription(resolved.error());
    EXPECT_EQ(*resolved, (ResolvedShareLink{"https://a.co/d/Abc_-9",
                                            "https://www.amazon.com/dp/B0ABCDEFGH", "a.co", 4}));
    EXPECT_EQ(requested(),
              (std::vector<std::string>{"a.co/d/Abc_-9", "www.amazon.com/hop1",
                                        "www.amazon.com/hop2", "www.amazon.com/hop3",
                                        "www.amazon.com/dp/B0ABCDEFGH?ref=share&tag=x"}));
}

TEST_F(ShareLinkResolverHttpsTest, AFifthRedirectIsNeverFollowed) {
    redirect("a.co", "/d/x", "https://www.amazon.com/hop1");
    for (int hop = 1; hop <= 4; ++hop) {
        redirect("www.amazon.com", "/hop" + std::to_string(hop), "/hop" + std::to_string(hop + 1));
    }
    page("www.amazon.com", "/hop5");

    const auto resolved = resolve("https://a.co/d/x");

    ASSERT_FALSE(resolved.ok());
    EXPECT_EQ(resolved.error(), Error::unsafeRedirect);
    EXPECT_EQ(requested().size(), 5u);
    EXPECT_EQ(requested().back(), "www.amazon.com/hop4");
}

TEST_F(ShareLinkResolverHttpsTest, RedirectsThatLeaveTheServiceAreNeverFollowed) {
    redirect("a.co", "/d/bare", "https://amazon.com/dp/B0ABCDEFGH");
    redirect("a.co", "/d/evil", "https://evil.test/dp/B0ABCDEFGH");
    redirect("a.co", "/d/port", "https://www.amazon.com:443/dp/B0ABCDEFGH");
    redirect("a.co", "/d/later", "https://www.amazon.com/hop");
    redirect("www.amazon.com", "/hop", "https://evil.test/dp/B0ABCDEFGH");
    redirect("www.instagram.com", "/share/AbC", "https://www.threads.net/@a/post/B");
    page("amazon.com", "/dp/B0ABCDEFGH");
    page("evil.test", "/dp/B0ABCDEFGH");
    page("www.amazon.com", "/dp/B0ABCDEFGH");
    page("www.threads.net", "/@a/post/B");
    server_.start();

    for (const char* link : {"https://a.co/d/bare", "https://a.co/d/evil", "https://a.co/d/port",
                             "https://a.co/d/later", "https://www.instagram.com/share/AbC"}) {
        const auto resolved = resolve(link, server_.port());
        ASSERT_FALSE(resolved.ok()) << link;
        EXPECT_EQ(resolved.error(), Error::unsafeRedirect) << link;
    }
    for (const auto& url : requested()) {
        EXPECT_TRUE(url.starts_with("a.co/") || url == "www.amazon.com/hop" ||
                    url == "www.instagram.com/share/AbC")
            << url << " was contacted";
    }
}

// Exactly Host, User-Agent and Accept on every request, and the cookie each
// hop sets is never sent back.
TEST_F(ShareLinkResolverHttpsTest, SendsExactlyTheStatedHeaderFieldsAndNoCookie) {
    redirect("www.instagram.com", "/share/AbC", "/hop");
    redirect("www.instagram.com", "/hop", "/reel/XYZ/?igsh=1");
    page("www.instagram.com", "/reel/XYZ/");

    const auto resolved = resolve("https://www.instagram.com/share/AbC");

    ASSERT_TRUE(resolved.ok()) << errorDescription(resolved.error());
    EXPECT_EQ(resolved->canonicalURL, "https://www.instagram.com/reel/XYZ/?igsh=1");
    const auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.headerFields, (std::vector<std::pair<std::string, std::string>>{
                                            {"Accept", "text/html,application/xhtml+xml"},
                                            {"Host", "www.instagram.com"},
                                            {"User-Agent", "Scourlet/1.0"}}))
            << request.target;
    }
}

TEST_F(ShareLinkResolverHttpsTest, AnErrorStatusOnACanonicalPageStillResolves) {
    redirect("www.threads.net", "/share/AbC/", "https://www.threads.com/@name/post/XYZ");
    page("www.threads.com", "/@name/post/XYZ", 500);

    const auto resolved = resolve("https://www.threads.net/share/AbC/");

    ASSERT_TRUE(resolved.ok()) << errorDescription(resolved.error());
    EXPECT_EQ(resolved->canonicalURL, "https://www.threads.com/@name/post/XYZ");
    EXPECT_EQ(resolved->redirectCount, 1);
}

// The page behind the link is never read, however large or endless it is.
TEST_F(ShareLinkResolverHttpsTest, ABodyOverAnyCapIsNotRead) {
    redirect("a.co", "/d/big", "https://www.amazon.com/dp/B0ABCDEFGH");
    server_.on("www.amazon.com", "/dp/B0ABCDEFGH", [](const auto&, httplib::Response& res) {
        res.set_chunked_content_provider("text/html", [](std::size_t, httplib::DataSink& sink) {
            const std::string chunk(64 * 1024, 'x');
            return sink.write(chunk.data(), chunk.size());
        });
    });

    const auto start = SteadyClock::now();
    const auto resolved = resolve("https://a.co/d/big");

    ASSERT_TRUE(resolved.ok()) << errorDescription(resolved.error());
    EXPECT_EQ(resolved->canonicalURL, "https://www.amazon.com/dp/B0ABCDEFGH");
    EXPECT_LT(SteadyClock::now() - start, kScaledResourceTimeout);
}

TEST_F(ShareLinkResolverHttpsTest, AStalledServerFailsTheRequest) {
    redirect("a.co", "/d/stall", "https://www.amazon.com/dp/B0ABCDEFGH");
    server_.on("www.amazon.com", "/dp/B0ABCDEFGH", [this](const auto&, httplib::Response& res) {
        server_.stall(8s);
        res.set_content("late", "text/html");
    });

    const auto start = SteadyClock::now();
    const auto resolved = resolve("https://a.co/d/stall");
    const auto took = SteadyClock::now() - start;

    ASSERT_FALSE(resolved.ok());
    EXPECT_EQ(resolved.error(), Error::requestFailed);
    EXPECT_GE(took, kScaledRequestTimeout);
    EXPECT_LT(took, kScaledResourceTimeout + 1s);
}

TEST_F(ShareLinkResolverHttpsTest, AnUntrustedCertificateFailsTheRequest) {
    TestCertificateAuthority stranger("Somebody Else's CA");
    TestHttpsServer impostor(stranger.issue(kHosts));
    impostor.on("a.co", "/d/Abc", [](const auto&, httplib::Response& res) {
        res.status = 301;
        res.set_header("Location", "https://www.amazon.com/dp/B0ABCDEFGH");
    });
    impostor.start();

    const auto resolved = resolve("https://a.co/d/Abc", impostor.port());

    ASSERT_FALSE(resolved.ok());
    EXPECT_EQ(resolved.error(), Error::requestFailed);
    EXPECT_TRUE(impostor.requests().empty());
}

}  // namespace
}  // namespace scourlet

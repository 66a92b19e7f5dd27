// The libcurl transport against real HTTPS servers on 127.0.0.1, with
// certificates made for the test and every host name pinned to the server.
#include "ScourletCore/platform/CurlHttpTransport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "support/TestCertificateAuthority.h"
#include "support/TestHttpsServer.h"

namespace scourlet {
namespace {

using namespace std::chrono_literals;
using Kind = HttpError::Kind;
using testing::TestCertificateAuthority;
using testing::TestHttpsServer;
using SteadyClock = std::chrono::steady_clock;

constexpr auto kIdle = 300ms;
constexpr auto kTotal = 3s;
// Slack for a loaded machine above each time-out.
constexpr auto kSlack = 1500ms;

std::vector<std::pair<std::string, std::string>> fields(
    std::initializer_list<std::pair<std::string, std::string>> list) {
    return list;
}

// A TCP port where the kernel accepts connections but nobody ever speaks, so
// a TLS handshake never finishes.
class SilentListener {
public:
    SilentListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        auto* generic = reinterpret_cast<sockaddr*>(&address);
        if (::bind(fd_, generic, length) != 0 || ::listen(fd_, 16) != 0 ||
            ::getsockname(fd_, generic, &length) != 0) {
            ADD_FAILURE() << "could not listen";
        }
        port_ = ntohs(address.sin_port);
    }
    ~SilentListener() { ::close(fd_); }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

// A port on 127.0.0.1 where nothing listens.
int closedPort() {
    const SilentListener probe;
    return probe.port();  // closed again when `probe` goes
}

class CurlHttpTransportTest : public ::testing::Test {
protected:
    CurlHttpTransportTest() { ca_.writePem(caFile()); }

    std::string caFile() const { return (dir_ / "ca.pem").string(); }

    CurlHttpTransport transportTo(int port) const {
        CurlHttpTransport::Settings settings;
        settings.connectOverrides.push_back({"", 0, "127.0.0.1", port});
        settings.caFile = caFile();
        auto transport = CurlHttpTransport::withSettings(std::move(settings));
        EXPECT_TRUE(transport.ok());
        return std::move(transport).value();
    }
    CurlHttpTransport transport() const { return transportTo(server_.port()); }

    static HttpRequest request(std::string url,
                               HttpBodyHandling handling = HttpBodyHandling::keep) {
        HttpRequest request;
        request.url = std::move(url);
        request.bodyHandling = handling;
        EXPECT_TRUE(request.options.setTotalTimeout(kTotal).ok());
        EXPECT_TRUE(request.options.setConnectTimeout(1s).ok());
        EXPECT_TRUE(request.options.setIdleTimeout(kIdle).ok());
        EXPECT_TRUE(request.options.setMaxBodyBytes(1000).ok());
        return request;
    }

    static HttpRedirectDecision alwaysFollow(const HttpRedirect&) {
        return HttpRedirectDecision::follow;
    }

    void redirect(const std::string& path, std::string location, int status = 302) {
        server_.on("feed.test", path, [location, status](const auto&, httplib::Response& res) {
            res.status = status;
            res.set_header("Location", location);
            res.set_content("moved", "text/plain");
        });
    }

    // A body that never ends, in chunks of `chunk` bytes, `pause` apart.
    void endless(const std::string& path, std::size_t chunk, std::chrono::milliseconds pause) {
        server_.on("feed.test", path, [this, chunk, pause](const auto&, httplib::Response& res) {
            res.set_chunked_content_provider(
                "text/plain", [this, chunk, pause](std::size_t, httplib::DataSink& sink) {
                    const std::string data(chunk, 'x');
                    if (!sink.write(data.data(), data.size())) {
                        return false;
                    }
                    if (pause.count() > 0) {
                        server_.stall(pause);
                    }
                    return true;
                });
        });
    }

    testing::TempDir dir_;
    TestCertificateAuthority ca_{"Scourlet Test CA"};
    TestHttpsServer server_{ca_.issue({"feed.test", "other.test"})};
};

TEST_F(CurlHttpTransportTest, ReturnsTheFinalResponseWithItsBody) {
    server_.on("feed.test", "/data", [](const auto&, httplib::Response& res) {
        res.status = 203;
        res.set_header("X-Answer", "42");
        res.set_content("hello", "text/plain");
    });
    server_.start();

    const auto response = transport().send(request("https://feed.test/data?q=1"));

    ASSERT_TRUE(response.ok()) << response.error().message;
    EXPECT_EQ(response->status, 203);
    EXPECT_EQ(response->url, "https://feed.test/data?q=1");
    EXPECT_EQ(response->body, "hello");
    EXPECT_EQ(response->bodyBytesReceived, 5u);
    EXPECT_EQ(response->headerFields.value("x-answer"), "42");
    EXPECT_EQ(response->redirectsFollowed, 0);
}

// Only Host, the caller's fields and the default Accept go out: no compression
// request, no cookie, not even the one the server set one hop earlier.
TEST_F(CurlHttpTransportTest, SendsOnlyTheGivenFieldsAndNoCookies) {
    server_.on("feed.test", "/first", [](const auto&, httplib::Response& res) {
        res.status = 302;
        res.set_header("Set-Cookie", "session=abc; Path=/");
        res.set_header("Location", "/second");
    });
    server_.on("feed.test", "/second",
               [](const auto&, httplib::Response& res) { res.set_content("ok", "text/plain"); });
    server_.start();
    auto withAgent = request("https://feed.test/first");
    ASSERT_TRUE(withAgent.headerFields.set("User-Agent", "Test/2").ok());
    withAgent.options.setMaxRedirects(1).ok();
    withAgent.onRedirect = alwaysFollow;

    ASSERT_TRUE(transport().send(withAgent).ok());

    const auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& sent : requests) {
        EXPECT_EQ(sent.headerFields,
                  fields({{"Accept", "*/*"}, {"Host", "feed.test"}, {"User-Agent", "Test/2"}}))
            << sent.target;
    }
}

TEST_F(CurlHttpTransportTest, ShowsEachRedirectAndFollowsOnlyWhenTold) {
    redirect("/a", "/b?x=1", 307);
    redirect("/b", "https://other.test/c", 301);
    server_.on("other.test", "/c",
               [](const auto&, httplib::Response& res) { res.set_content("end", "text/plain"); });
    server_.start();
    std::vector<HttpRedirect> shown;
    auto req = request("https://feed.test/a");
    ASSERT_TRUE(req.options.setMaxRedirects(2).ok());
    req.onRedirect = [&shown](const HttpRedirect& r) {
        shown.push_back(r);
        return HttpRedirectDecision::follow;
    };

    const auto response = transport().send(req);

    ASSERT_TRUE(response.ok()) << response.error().message;
    EXPECT_EQ(response->url, "https://other.test/c");
    EXPECT_EQ(response->body, "end");
    EXPECT_EQ(response->redirectsFollowed, 2);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].status, 307);
    EXPECT_EQ(shown[0].location, "/b?x=1");
    EXPECT_EQ(shown[0].target, "https://feed.test/b?x=1");
    EXPECT_EQ(shown[0].fromURL, "https://feed.test/a");
    EXPECT_EQ(shown[0].redirectsFollowed, 0);
    EXPECT_EQ(shown[1].status, 301);
    EXPECT_EQ(shown[1].target, "https://other.test/c");
    EXPECT_EQ(shown[1].redirectsFollowed, 1);
}

// A redirect that is not followed is the final response; its target is never
// asked for.
TEST_F(CurlHttpTransportTest, AnUnfollowedRedirectIsTheFinalResponse) {
    redirect("/a", "/b");
    server_.start();
    for (const bool withHook : {false, true}) {
        auto req = request("https://feed.test/a");
        ASSERT_TRUE(req.options.setMaxRedirects(5).ok());
        if (withHook) {
            req.onRedirect = [](const HttpRedirect&) { return HttpRedirectDecision::stop; };
        }
        const auto response = transport().send(req);
        ASSERT_TRUE(response.ok()) << response.error().message;
        EXPECT_EQ(response->status, 302);
        EXPECT_EQ(response->url, "https://feed.test/a");
        EXPECT_EQ(response->headerFields.value("Location"), "/b");
        EXPECT_EQ(response->body, "moved");
    }
    for (const auto& sent : server_.requests()) {
        EXPECT_EQ(sent.target, "/a");
    }
}

TEST_F(CurlHttpTransportTest, AFollowedRedirectMustStayWithinTheLimits) {
    redirect("/chain1", "/chain2");
    redirect("/chain2", "/chain3");
    redirect("/chain3", "/chain4");
    redirect("/plain", "http://feed.test/insecure");
    redirect("/script", "javascript:alert(1)");
    redirect("/empty", "");
    server_.start();
    struct Case {
        const char* path;
        Kind kind;
        const char* notRequested;
    };
    const std::vector<Case> cases = {
        {"/chain1", Kind::tooManyRedirects, "/chain4"},
        {"/plain", Kind::schemeNotAllowed, "/insecure"},
        {"/script", Kind::badRedirect, nullptr},
        {"/empty", Kind::badRedirect, nullptr},
    };
    for (const auto& c : cases) {
        auto req = request(std::string("https://feed.test") + c.path);
        ASSERT_TRUE(req.options.setMaxRedirects(2).ok());
        req.onRedirect = alwaysFollow;
        const auto response = transport().send(req);
        ASSERT_FALSE(response.ok()) << c.path;
        EXPECT_EQ(response.error().kind, c.kind) << c.path << ": " << response.error().message;
    }
    for (const auto& sent : server_.requests()) {
        EXPECT_NE(sent.target, "/chain4");
        EXPECT_NE(sent.target, "/insecure");
    }
}

TEST_F(CurlHttpTransportTest, RefusesAnUnusableURLBeforeSendingAnything) {
    server_.start();
    const std::vector<std::pair<std::string, Kind>> cases = {
        {"http://feed.test/data", Kind::schemeNotAllowed},
        {"ftp://feed.test/data", Kind::schemeNotAllowed},
        {"not a url", Kind::invalidRequest},
        {"", Kind::invalidRequest},
    };
    for (const auto& [url, kind] : cases) {
        const auto response = transport().send(request(url));
        ASSERT_FALSE(response.ok()) << url;
        EXPECT_EQ(response.error().kind, kind) << url;
    }
    EXPECT_TRUE(server_.requests().empty());
}

TEST_F(CurlHttpTransportTest, TheBodyCapHoldsWhetherTheBodyIsKeptOrNot) {
    server_.on("feed.test", "/declared", [](const auto&, httplib::Response& res) {
        res.set_content(std::string(1001, 'x'), "text/plain");
    });
    server_.on("feed.test", "/exact", [](const auto&, httplib::Response& res) {
        res.set_content(std::string(1000, 'x'), "text/plain");
    });
    endless("/endless", 400, 0ms);
    server_.start();
    struct Case {
        const char* path;
        HttpBodyHandling handling;
        bool ok;
        std::size_t kept;
    };
    const std::vector<Case> cases = {
        {"/declared", HttpBodyHandling::keep, false, 0},
        {"/declared", HttpBodyHandling::discard, false, 0},
        {"/endless", HttpBodyHandling::keep, false, 0},
        {"/endless", HttpBodyHandling::discard, false, 0},
        {"/exact", HttpBodyHandling::keep, true, 1000},
        {"/exact", HttpBodyHandling::discard, true, 0},
    };
    for (const auto& c : cases) {
        const auto response =
            transport().send(request(std::string("https://feed.test") + c.path, c.handling));
        const auto handling = static_cast<int>(c.handling);
        if (!c.ok) {
            ASSERT_FALSE(response.ok()) << c.path << " " << handling;
            EXPECT_EQ(response.error().kind, Kind::bodyTooLarge) << c.path << " " << handling;
            continue;
        }
        ASSERT_TRUE(response.ok()) << c.path << " " << handling;
        EXPECT_EQ(response->body.size(), c.kept) << c.path << " " << handling;
        EXPECT_EQ(response->bodyBytesReceived, 1000u) << c.path << " " << handling;
    }
}

TEST_F(CurlHttpTransportTest, StopAfterHeadReadsNoBody) {
    endless("/endless", 16 * 1024, 0ms);
    server_.start();
    const auto response =
        transport().send(request("https://feed.test/endless", HttpBodyHandling::stopAfterHead));
    ASSERT_TRUE(response.ok()) << response.error().message;
    EXPECT_EQ(response->status, 200);
    EXPECT_EQ(response->body, "");
    EXPECT_EQ(response->bodyBytesReceived, 0u);
}

TEST_F(CurlHttpTransportTest, AStalledServerEndsWithTheIdleTimeout) {
    server_.on("feed.test", "/silent", [this](const auto&, httplib::Response& res) {
        server_.stall(5s);
        res.set_content("late", "text/plain");
    });
    endless("/trickle-then-stall", 10, 5s);
    server_.start();
    for (const char* path : {"/silent", "/trickle-then-stall"}) {
        const auto start = SteadyClock::now();
        const auto response = transport().send(request(std::string("https://feed.test") + path));
        const auto took = SteadyClock::now() - start;
        ASSERT_FALSE(response.ok()) << path;
        EXPECT_EQ(response.error().kind, Kind::idleTimeout) << path;
        EXPECT_GE(took, kIdle) << path;
        EXPECT_LT(took, kIdle + kSlack) << path;
    }
}

// A server that keeps sending a little never trips the idle time-out; the
// total one ends it.
TEST_F(CurlHttpTransportTest, ATrickleEndsWithTheTotalTimeout) {
    endless("/trickle", 1, 50ms);
    server_.start();
    auto req = request("https://feed.test/trickle");
    ASSERT_TRUE(req.options.setTotalTimeout(600ms).ok());
    const auto start = SteadyClock::now();
    const auto response = transport().send(req);
    const auto took = SteadyClock::now() - start;
    ASSERT_FALSE(response.ok());
    EXPECT_EQ(response.error().kind, Kind::totalTimeout);
    EXPECT_GE(took, 600ms);
    EXPECT_LT(took, 600ms + kSlack);
}

TEST_F(CurlHttpTransportTest, AHandshakeThatNeverEndsHitsTheConnectTimeout) {
    const SilentListener silent;
    const auto transport = transportTo(silent.port());
    struct Case {
        std::chrono::milliseconds connect;
        std::chrono::milliseconds total;
        Kind kind;
    };
    // With no connect limit of its own, the total time-out bounds the handshake.
    for (const Case c :
         {Case{300ms, 3s, Kind::connectTimeout}, Case{0ms, 400ms, Kind::totalTimeout}}) {
        auto req = request("https://feed.test/");
        ASSERT_TRUE(req.options.setConnectTimeout(c.connect).ok());
        ASSERT_TRUE(req.options.setTotalTimeout(c.total).ok());
        const auto start = SteadyClock::now();
        const auto response = CurlHttpTransport(transport).send(req);
        const auto took = SteadyClock::now() - start;
        ASSERT_FALSE(response.ok());
        EXPECT_EQ(response.error().kind, c.kind) << response.error().message;
        EXPECT_LT(took, std::max(c.connect, c.total) + kSlack);
    }
}

TEST_F(CurlHttpTransportTest, RefusesCertificatesItCannotTrust) {
    server_.on("feed.test", "/data", [](const auto&, httplib::Response& res) {
        res.set_content("secret", "text/plain");
    });
    server_.start();
    TestCertificateAuthority stranger("Somebody Else's CA");
    TestHttpsServer impostor(stranger.issue({"feed.test"}));
    impostor.start();

    // Signed by an authority the transport does not trust.
    const auto untrusted = transportTo(impostor.port()).send(request("https://feed.test/data"));
    // Trusted authority, but the certificate is not for this host.
    const auto wrongName = transport().send(request("https://elsewhere.test/data"));

    ASSERT_FALSE(untrusted.ok());
    EXPECT_EQ(untrusted.error().kind, Kind::tlsFailure) << untrusted.error().message;
    ASSERT_FALSE(wrongName.ok());
    EXPECT_EQ(wrongName.error().kind, Kind::tlsFailure) << wrongName.error().message;
    EXPECT_TRUE(impostor.requests().empty());
    EXPECT_TRUE(server_.requests().empty());
}

TEST_F(CurlHttpTransportTest, NobodyListeningIsAConnectionFailure) {
    const auto response = transportTo(closedPort()).send(request("https://feed.test/"));
    ASSERT_FALSE(response.ok());
    EXPECT_EQ(response.error().kind, Kind::connectionFailed) << response.error().message;
}

TEST_F(CurlHttpTransportTest, AStopRequestEndsTheCallSoon) {
    server_.on("feed.test", "/silent",
               [this](const auto&, httplib::Response&) { server_.stall(5s); });
    server_.start();
    std::stop_source stop;
    auto req = request("https://feed.test/silent");
    ASSERT_TRUE(req.options.setIdleTimeout(0ms).ok());
    req.stopToken = stop.get_token();
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(200ms);
        stop.request_stop();
    });
    const auto start = SteadyClock::now();
    const auto response = transport().send(req);
    const auto took = SteadyClock::now() - start;
    stopper.join();
    ASSERT_FALSE(response.ok());
    EXPECT_EQ(response.error().kind, Kind::cancelled);
    EXPECT_LT(took, 200ms + kSlack);
}

TEST(CurlHttpTransportSettingsTest, RefusesUnusableSettings) {
    using Override = CurlHttpTransport::ConnectOverride;
    const std::vector<Override> badOverrides = {
        {"", 0, "", 443},
        {"a.co:443", 0, "127.0.0.1", 443},
        {"", 0, "127.0.0.1", 0},
        {"", 70000, "127.0.0.1", 443},
        {"", 0, "127.0.0.1:8443", 443},
    };
    for (const auto& bad : badOverrides) {
        CurlHttpTransport::Settings settings;
        settings.connectOverrides.push_back(bad);
        EXPECT_FALSE(CurlHttpTransport::withSettings(settings).ok()) << bad.host << bad.toAddress;
    }
    CurlHttpTransport::Settings missingCA;
    missingCA.caFile = "/nonexistent/ca.pem";
    EXPECT_FALSE(CurlHttpTransport::withSettings(missingCA).ok());
    EXPECT_TRUE(CurlHttpTransport::withSettings({}).ok());
}

}  // namespace
}  // namespace scourlet

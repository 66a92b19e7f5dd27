// The one bounded download of signed files and release metadata: exact URL,
// status 200 only, no redirect followed, the byte cap to the byte.
#include "ScourletCore/platform/BoundedDownload.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/platform/CurlHttpTransport.h"
#include "support/FakeHttpTransport.h"
#include "support/TempDir.h"
#include "support/TestCertificateAuthority.h"
#include "support/TestHttpsServer.h"

namespace scourlet {
namespace {

using testing::FakeHttpTransport;
using Kind = BoundedDownload::Failure::Kind;

constexpr const char* kURL = "https://files.fixture.example/feed/manifest.json";

FakeHttpTransport::Reply declaring(std::string body, std::string declaredLength) {
    auto reply = FakeHttpTransport::ok(std::move(body));
    reply.headerFields.append("Content-Length", std::move(declaredLength));
    return reply;
}

struct DownloadCase {
    const char* name;
    FakeHttpTransport::Reply reply;
    std::uint64_t cap;
    std::optional<std::string> body;      // the file, when it downloads
    std::optional<int> unexpectedStatus;  // else the refused status
    std::optional<HttpError::Kind> transportKind;
};

TEST(BoundedDownloadTest, AcceptsOnlyTheFileWithinItsCap) {
    const std::string ten(10, 'x');
    const DownloadCase cases[] = {
        {"exactly the cap", FakeHttpTransport::ok(ten), 10, ten, {}, {}},
        {"below the cap", FakeHttpTransport::ok("abc"), 10, "abc", {}, {}},
        {"empty file", FakeHttpTransport::ok(""), 10, "", {}, {}},
        {"one byte over",
         FakeHttpTransport::ok(ten + "y"),
         10,
         {},
         {},
         HttpError::Kind::bodyTooLarge},
        {"declared length over the cap",
         declaring("abc", "11"),
         10,
         {},
         {},
         HttpError::Kind::bodyTooLarge},
        {"declared length at the cap", declaring(ten, "10"), 10, ten, {}, {}},
        {"301", FakeHttpTransport::redirect("https://elsewhere.example/x", 301), 10, {}, 301, {}},
        {"302 to the same host",
         FakeHttpTransport::redirect("/feed/other.json", 302),
         10,
         {},
         302,
         {}},
        {"307", FakeHttpTransport::redirect(kURL, 307), 10, {}, 307, {}},
        {"404", FakeHttpTransport::ok("missing", 404), 10, {}, 404, {}},
        {"204 without a body", FakeHttpTransport::ok("", 204), 10, {}, 204, {}},
        {"time-out",
         FakeHttpTransport::failure(HttpError::Kind::totalTimeout),
         10,
         {},
         {},
         HttpError::Kind::totalTimeout},
        {"TLS failure",
         FakeHttpTransport::failure(HttpError::Kind::tlsFailure),
         10,
         {},
         {},
         HttpError::Kind::tlsFailure},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHttpTransport http;
        http.on(kURL, c.reply);
        const auto file = BoundedDownload::fetch(http, kURL, c.cap);
        if (c.body) {
            ASSERT_TRUE(file.ok());
            EXPECT_EQ(*file, *c.body);
            continue;
        }
        ASSERT_FALSE(file.ok());
        if (c.unexpectedStatus) {
            EXPECT_EQ(file.error().kind, Kind::unexpectedResponse);
            EXPECT_EQ(file.error().status, *c.unexpectedStatus);
        } else {
            EXPECT_EQ(file.error().kind, Kind::transport);
            EXPECT_EQ(file.error().transport.kind, *c.transportKind);
            EXPECT_EQ(file.error().isOverCap(), c.transportKind == HttpError::Kind::bodyTooLarge);
        }
        EXPECT_EQ(http.sent().size(), 1u) << "one request, no redirect followed";
    }
}

TEST(BoundedDownloadTest, AsksForTheDocumentedLimits) {
    FakeHttpTransport http;
    http.on(kURL, FakeHttpTransport::ok("{}"));
    ASSERT_TRUE(BoundedDownload::fetch(http, kURL, 4096).ok());

    const auto sent = http.sent();
    ASSERT_EQ(sent.size(), 1u);
    const HttpRequestOptions& options = sent[0].options;
    EXPECT_EQ(options.connectTimeout(), std::chrono::seconds(15));
    EXPECT_EQ(options.idleTimeout(), std::chrono::seconds(15));
    EXPECT_EQ(options.totalTimeout(), std::chrono::seconds(30));
    EXPECT_EQ(options.maxBodyBytes(), 4096u);
    EXPECT_EQ(options.maxRedirects(), 0);
    EXPECT_EQ(options.allowedSchemes(), std::vector<std::string>{"https"});
    EXPECT_EQ(sent[0].bodyHandling, HttpBodyHandling::keep);
    EXPECT_FALSE(sent[0].hasRedirectHook);
}

TEST(BoundedDownloadTest, RefusesWithoutTrafficWhatCannotBeBounded) {
    FakeHttpTransport http;
    http.on("http://files.fixture.example/x", FakeHttpTransport::ok("x"));
    http.on(kURL, FakeHttpTransport::ok("x"));

    const auto plain = BoundedDownload::fetch(http, "http://files.fixture.example/x", 10);
    ASSERT_FALSE(plain.ok());
    EXPECT_EQ(plain.error().transport.kind, HttpError::Kind::schemeNotAllowed);

    const auto huge = BoundedDownload::fetch(http, kURL, HttpRequestOptions::kLargestBodyCap + 1);
    ASSERT_FALSE(huge.ok());
    EXPECT_EQ(huge.error().transport.kind, HttpError::Kind::invalidRequest);
    EXPECT_TRUE(http.sent().empty());
}

// The same rules over libcurl against a local HTTPS server.
TEST(BoundedDownloadHttpsTest, CapAndRedirectOverTheRealTransport) {
    testing::TempDir dir;
    testing::TestCertificateAuthority ca("Scourlet Test CA");
    ca.writePem(dir / "ca.pem");
    testing::TestHttpsServer server(ca.issue({"files.fixture.example"}));
    const std::string ten(10, 'x');
    server.on("files.fixture.example", "/ten", [&](const auto&, httplib::Response& res) {
        res.set_content(ten, "application/json");
    });
    server.on("files.fixture.example", "/moved", [](const auto&, httplib::Response& res) {
        res.status = 302;
        res.set_header("Location", "https://files.fixture.example/ten");
    });
    server.start();
    CurlHttpTransport::Settings settings;
    settings.connectOverrides.push_back({"", 0, "127.0.0.1", server.port()});
    settings.caFile = (dir / "ca.pem").string();
    auto curl = CurlHttpTransport::withSettings(std::move(settings));
    ASSERT_TRUE(curl.ok());

    const auto atCap = BoundedDownload::fetch(*curl, "https://files.fixture.example/ten", 10);
    ASSERT_TRUE(atCap.ok()) << atCap.error().transport.message;
    EXPECT_EQ(*atCap, ten);

    const auto overCap = BoundedDownload::fetch(*curl, "https://files.fixture.example/ten", 9);
    ASSERT_FALSE(overCap.ok());
    EXPECT_TRUE(overCap.error().isOverCap());

    const auto moved = BoundedDownload::fetch(*curl, "https://files.fixture.example/moved", 10);
    ASSERT_FALSE(moved.ok());
    EXPECT_EQ(moved.error().kind, Kind::unexpectedResponse);
    EXPECT_EQ(moved.error().status, 302);
    EXPECT_EQ(server.requests().size(), 3u) << "the redirect was not followed";
}

}  // namespace
}  // namespace scourlet

// The release-metadata download: only the four fixed addresses, status 200
// only, no redirect followed, the byte cap to the byte; and the phone-app
// release record.
#include "ScourletCore/updateawareness/UpdateMetadata.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/updateawareness/PublicIOSRelease.h"
#include "support/FakeHttpTransport.h"

namespace scourlet {
namespace {

using testing::FakeHttpTransport;
using Kind = UpdateMetadataError::Kind;

constexpr const char* kHost = "updates.fixture.example";
constexpr const char* kDesktop = "https://updates.fixture.example/scourlet/releases/desktop.json";

TEST(UpdateMetadataTest, BuildsTheFourAddressesOnTheGivenHost) {
    EXPECT_EQ(UpdateMetadata::desktopURL(kHost), kDesktop);
    EXPECT_EQ(UpdateMetadata::iosURL(kHost),
              "https://updates.fixture.example/scourlet/releases/ios.json");
    EXPECT_EQ(UpdateMetadata::stableRulesManifestURL(kHost),
              "https://updates.fixture.example/scourlet/rules/manifest.json");
    EXPECT_EQ(UpdateMetadata::betaRulesManifestURL(kHost),
              "https://updates.fixture.example/scourlet/rules/beta/manifest.json");
    EXPECT_EQ(UpdateMetadata::desktopURL(),
              "https://" + std::string(config::kMakerHost) + "/scourlet/releases/desktop.json");
}

TEST(UpdateMetadataTest, NearMissAddressesSendNothing) {
    const char* nearMisses[] = {
        "https://updates.fixture.example/scourlet/releases/desktop.json?x=1",
        "https://updates.fixture.example/scourlet/releases/desktop.json#top",
        "http://updates.fixture.example/scourlet/releases/desktop.json",
        "https://other.fixture.example/scourlet/releases/desktop.json",
        "https://updates.fixture.example/scourlet/releases/desktop.json/",
        "https://updates.fixture.example:443/scourlet/releases/desktop.json",
        "https://UPDATES.fixture.example/scourlet/releases/desktop.json",
        "https://updates.fixture.example/scourlet/releases/windows.json",
        "https://updates.fixture.example/scourlet/rules/stable/manifest.json",
        "",
    };
    for (const char* url : nearMisses) {
        SCOPED_TRACE(url);
        FakeHttpTransport http;
        http.on(url, FakeHttpTransport::ok("{}"));
        const auto bytes = UpdateMetadata::fetch(http, url, 16384, kHost);
        ASSERT_FALSE(bytes.ok());
        EXPECT_EQ(bytes.error().kind, Kind::unsupportedURL);
        EXPECT_TRUE(http.sent().empty());
    }
}

FakeHttpTransport::Reply declaring(std::string body, std::string declaredLength) {
    auto reply = FakeHttpTransport::ok(std::move(body));
    reply.headerFields.append("Content-Length", std::move(declaredLength));
    return reply;
}

struct FetchCase {
    const char* name;
    FakeHttpTransport::Reply reply;
    std::int64_t limit;
    std::optional<std::string> body;  // the file, when it downloads
    Kind kind = Kind::badServerResponse;
};

TEST(UpdateMetadataTest, AcceptsOnlyStatus200WithinTheLimit) {
    const std::string full(16384, 'x');
    const FetchCase cases[] = {
        {"exactly the limit", FakeHttpTransport::ok(full), 16384, full},
        {"empty file", FakeHttpTransport::ok(""), 16384, ""},
        {"one byte over while reading",
         FakeHttpTransport::ok(full + "x"),
         16384,
         {},
         Kind::dataLengthExceedsMaximum},
        // The transport reports a declared length over the cap like a body
        // over it; both read as the same refusal.
        {"declared 20000 bytes",
         declaring("{}", "20000"),
         16384,
         {},
         Kind::dataLengthExceedsMaximum},
        {"limit 0 and one byte", FakeHttpTransport::ok("x"), 0, {}, Kind::dataLengthExceedsMaximum},
        {"negative limit and one byte",
         FakeHttpTransport::ok("x"),
         -5,
         {},
         Kind::dataLengthExceedsMaximum},
        {"negative limit and no body", FakeHttpTransport::ok(""), -5, ""},
        {"301 not followed", FakeHttpTransport::redirect(kDesktop, 301), 16384, {}},
        {"302 not followed",
         FakeHttpTransport::redirect("https://updates.fixture.example/elsewhere.json", 302),
         16384,
         {}},
        {"204", FakeHttpTransport::ok("", 204), 16384, {}},
        {"404", FakeHttpTransport::ok("missing", 404), 16384, {}},
        {"time-out",
         FakeHttpTransport::failure(HttpError::Kind::idleTimeout),
         16384,
         {},
         Kind::transport},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHttpTransport http;
        http.on(kDesktop, c.reply);
        http.on("https://updates.fixture.example/elsewhere.json", FakeHttpTransport::ok("{}"));
        const auto bytes = UpdateMetadata::fetch(http, kDesktop, c.limit, kHost);
        ASSERT_EQ(http.sent().size(), 1u) << "one request, no redirect followed";
        EXPECT_FALSE(http.sent()[0].hasRedirectHook);
        if (c.body) {
            ASSERT_TRUE(bytes.ok()) << bytes.error().message;
            EXPECT_EQ(*bytes, *c.body);
            continue;
        }
        ASSERT_FALSE(bytes.ok());
        EXPECT_EQ(bytes.error().kind, c.kind) << name(bytes.error().kind);
        if (c.kind == Kind::transport) {
            EXPECT_EQ(bytes.error().transport.kind, HttpError::Kind::idleTimeout);
        }
    }
}

TEST(UpdateMetadataTest, FetchesEachOfTheFourAddresses) {
    for (const std::string& url : {UpdateMetadata::desktopURL(kHost), UpdateMetadata::iosURL(kHost),
                                   UpdateMetadata::stableRulesManifestURL(kHost),
                                   UpdateMetadata::betaRulesManifestURL(kHost)}) {
        FakeHttpTransport http;
        http.on(url, FakeHttpTransport::ok("{}"));
        const auto bytes = UpdateMetadata::fetch(http, url, 100, kHost);
        ASSERT_TRUE(bytes.ok()) << url;
        EXPECT_EQ(*bytes, "{}");
    }
}

std::string iosRecord(const char* schema, const char* product, const char* channel,
                      const char* version, const std::string& url) {
    return std::string(R"({"schema":)") + schema + R"(,"product":")" + product +
           R"(","channel":")" + channel + R"(","version":")" + version + R"(","url":")" + url +
           R"("})";
}

TEST(PublicIOSReleaseTest, AcceptsOnlyTheExactStorePage) {
    const std::string page = "https://store.fixture.example/us/app/scourlet/id123";
    struct Case {
        const char* name;
        std::string bytes;
        std::optional<Kind> failure;
    };
    const Case cases[] = {
        {"valid", iosRecord("1", "Scourlet", "app-store", "1.4.2", page), {}},
        {"schema 2", iosRecord("2", "Scourlet", "app-store", "1.4", page), Kind::badServerResponse},
        {"schema as text", iosRecord("\"1\"", "Scourlet", "app-store", "1.4", page),
         Kind::decodingFailed},
        {"other product case", iosRecord("1", "scourlet", "app-store", "1.4", page),
         Kind::badServerResponse},
        {"other channel", iosRecord("1", "Scourlet", "testflight", "1.4", page),
         Kind::badServerResponse},
        {"invalid version", iosRecord("1", "Scourlet", "app-store", "1.4-beta", page),
         Kind::badServerResponse},
        {"tracking query", iosRecord("1", "Scourlet", "app-store", "1.4", page + "?mt=8"),
         Kind::badServerResponse},
        {"fragment", iosRecord("1", "Scourlet", "app-store", "1.4", page + "#reviews"),
         Kind::badServerResponse},
        {"http",
         iosRecord("1", "Scourlet", "app-store", "1.4",
                   "http://store.fixture.example/us/app/scourlet/id123"),
         Kind::badServerResponse},
        {"port",
         iosRecord("1", "Scourlet", "app-store", "1.4",
                   "https://store.fixture.example:443/us/app/scourlet/id123"),
         Kind::badServerResponse},
        {"other app",
         iosRecord("1", "Scourlet", "app-store", "1.4",
                   "https://store.fixture.example/us/app/scourlet/id124"),
         Kind::badServerResponse},
        {"missing url", R"({"schema":1,"product":"Scourlet","channel":"app-store","version":"1"})",
         Kind::decodingFailed},
        {"over 16384 bytes", std::string(16385, ' '), Kind::dataLengthExceedsMaximum},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto release = PublicIOSRelease::parse(c.bytes, "store.fixture.example", "123");
        if (!c.failure) {
            ASSERT_TRUE(release.ok()) << release.error().message;
            EXPECT_EQ(*release, (PublicIOSRelease{1, "Scourlet", "app-store", "1.4.2", page}));
            continue;
        }
        ASSERT_FALSE(release.ok());
        EXPECT_EQ(release.error().kind, *c.failure) << name(release.error().kind);
    }
    // 16384 bytes of valid record (padded with blanks) still pass.
    std::string padded = iosRecord("1", "Scourlet", "app-store", "1.4.2", page);
    padded.resize(16384, ' ');
    EXPECT_TRUE(PublicIOSRelease::parse(padded, "store.fixture.example", "123").ok());
}

}  // namespace
}  // namespace scourlet

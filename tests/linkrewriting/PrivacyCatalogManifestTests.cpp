#include "ScourletCore/linkrewriting/PrivacyCatalogManifest.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/config/BuildSettings.h"
#include "support/FixtureSigner.h"

namespace scourlet {
namespace {

using testing::FixtureManifest;
using testing::kFixtureGenerated;
using testing::kFixtureHost;

constexpr std::uint64_t kEarliest = 1789689600;
constexpr std::uint64_t kLatest = 4102444800;

FixtureManifest validManifest(std::uint64_t version = 7) {
    return FixtureManifest::describing(std::string(100, 'p'), std::string(50, 's'), version,
                                       kFixtureGenerated, kFixtureHost);
}

Result<PrivacyCatalogManifest, CatalogError> parse(const std::string& text) {
    return PrivacyCatalogManifest::parse(text, kFixtureHost);
}

TEST(PrivacyCatalogManifestTest, ParsesTheCanonicalFormAndEncodesItBack) {
    const std::string text = validManifest().text();
    auto manifest = parse(text);
    ASSERT_TRUE(manifest.ok()) << text;
    EXPECT_EQ(manifest->version, 7u);
    EXPECT_EQ(manifest->payload.bytes, 100);
    EXPECT_EQ(manifest->signature.url,
              "https://catalog.fixture.example/privacy-services/versions/7/privacy-services.sig");
    EXPECT_EQ(manifest->canonicalJSON(), text);
}

TEST(PrivacyCatalogManifestTest, EndpointAndAssetURLsUseTheMakerHost) {
    EXPECT_EQ(PrivacyCatalogManifest::endpoint("h.example"),
              "https://h.example/privacy-services/current.json");
    EXPECT_EQ(PrivacyCatalogManifest::endpoint(),
              "https://" + std::string(config::kMakerHost) + "/privacy-services/current.json");
    EXPECT_EQ(PrivacyCatalogManifest::expectedAssetURL(7, "json", "h.example"),
              "https://h.example/privacy-services/versions/7/privacy-services.json");
    // A manifest for another host is refused.
    EXPECT_FALSE(PrivacyCatalogManifest::parse(validManifest().text(), "other.example").ok());
}

TEST(PrivacyCatalogManifestTest, NonCanonicalTextIsRefused) {
    const std::string text = validManifest().text();
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string out = text;
        out.replace(out.find(from), from.size(), to);
        return out;
    };
    for (const std::string& variant : {
             replaced("\"kind\":", "\"kind\": "),
             text + "\n",
             "{\"kind\":\"privacy-services-update\",\"generated\":" +
                 std::to_string(kFixtureGenerated) + text.substr(text.find(",\"payload\"")),
             replaced("https://", "https:\\/\\/"),
             text.substr(0, text.size() - 1) + ",\"zzz\":0}",
         }) {
        auto result = parse(variant);
        ASSERT_FALSE(result.ok()) << variant;
        EXPECT_TRUE(result.error().isRejected()) << variant;
    }
    auto notJSON = parse("{\"schema\":");
    ASSERT_FALSE(notJSON.ok());
    EXPECT_EQ(notJSON.error().kind, CatalogError::Kind::decoding);
}

TEST(PrivacyCatalogManifestTest, SizeLimitComesBeforeDecoding) {
    // Not JSON at all: only the size rule can tell the two apart.
    EXPECT_EQ(parse(std::string(4097, 'x')).error().kind, CatalogError::Kind::rejected);
    EXPECT_EQ(parse(std::string(4096, 'x')).error().kind, CatalogError::Kind::decoding);
    // A valid manifest of exactly 4096 bytes: the host appears in both URLs,
    // and a 10-byte payload makes its size one digit longer.
    const std::size_t shortest =
        FixtureManifest::describing("p", "s", 7, kFixtureGenerated, "h.example").text().size();
    const std::size_t missing = 4096 - shortest;
    const std::string payload = missing % 2 == 0 ? "p" : "pppppppppp";
    const std::string host = "h" + std::string(missing / 2, 'a') + ".example";
    const std::string text =
        FixtureManifest::describing(payload, "s", 7, kFixtureGenerated, host).text();
    ASSERT_EQ(text.size(), 4096u);
    EXPECT_TRUE(PrivacyCatalogManifest::parse(text, host).ok());
}

TEST(PrivacyCatalogManifestTest, FieldRules) {
    using Change = std::function<void(FixtureManifest&)>;
    const std::string base = "https://catalog.fixture.example/privacy-services/versions/";
    struct Case {
        const char* name;
        Change change;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"schema 2", [](auto& m) { m.schema = 2; }, false},
        {"product", [](auto& m) { m.product = "scourlet"; }, false},
        {"kind", [](auto& m) { m.kind = "privacy-services"; }, false},
        {"version 0",
         [](auto& m) {
             m = FixtureManifest::describing("p", "s", 0, kFixtureGenerated, kFixtureHost);
         },
         false},
        {"version 2^53",
         [](auto& m) {
             m = FixtureManifest::describing("p", "s", 9007199254740992, kFixtureGenerated,
                                             kFixtureHost);
         },
         false},
        {"version 2^53 - 1",
         [](auto& m) {
             m = FixtureManifest::describing("p", "s", 9007199254740991, kFixtureGenerated,
                                             kFixtureHost);
         },
         true},
        {"generated too early", [](auto& m) { m.generated = kEarliest - 1; }, false},
        {"generated earliest", [](auto& m) { m.generated = kEarliest; }, true},
        {"generated latest", [](auto& m) { m.generated = kLatest; }, true},
        {"generated too late", [](auto& m) { m.generated = kLatest + 1; }, false},
        {"payload 32768 bytes", [](auto& m) { m.payloadBytes = 32768; }, true},
        {"payload 32769 bytes", [](auto& m) { m.payloadBytes = 32769; }, false},
        {"payload 0 bytes", [](auto& m) { m.payloadBytes = 0; }, false},
        {"payload negative", [](auto& m) { m.payloadBytes = -1; }, false},
        {"signature 2048 bytes", [](auto& m) { m.signatureBytes = 2048; }, true},
        {"signature 2049 bytes", [](auto& m) { m.signatureBytes = 2049; }, false},
        {"signature 0 bytes", [](auto& m) { m.signatureBytes = 0; }, false},
        {"upper-case sha256", [](auto& m) { m.payloadSHA256 = std::string(64, 'A'); }, false},
        {"short sha256", [](auto& m) { m.signatureSHA256 = std::string(63, 'a'); }, false},
        {"version with a leading zero",
         [&](auto& m) { m.payloadURL = base + "07/privacy-services.json"; }, false},
        {"plain http", [](auto& m) { m.payloadURL.replace(0, 5, "http"); }, false},
        {"another host", [](auto& m) { m.signatureURL.replace(8, 7, "evilcat"); }, false},
        {"a query", [](auto& m) { m.payloadURL += "?x=1"; }, false},
        {"swapped extensions", [](auto& m) { std::swap(m.payloadURL, m.signatureURL); }, false},
    };
    for (const Case& c : cases) {
        FixtureManifest m = validManifest();
        c.change(m);
        auto result = parse(m.text());
        EXPECT_EQ(result.ok(), c.accepted) << c.name << ": " << m.text();
    }
}

}  // namespace
}  // namespace scourlet

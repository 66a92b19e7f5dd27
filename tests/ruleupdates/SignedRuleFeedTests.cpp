// The signed rule feed over scripted transports: locations, versions, the
// bounded download and every refusal of the proof, manifest and record checks.
#include "ScourletCore/ruleupdates/SignedRuleFeed.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/platform/Crypto.h"
#include "ScourletCore/ruleupdates/RuleUpdateChannel.h"
#include "support/FakeHttpTransport.h"
#include "support/FixtureSigner.h"
#include "support/RuleFeedFixture.h"
#include "support/TempDir.h"

namespace scourlet {
namespace {

using testing::FakeHttpTransport;
using testing::FixtureKey;
using testing::kFixtureRulesHost;
using testing::RuleRelease;
using Feed = SignedRuleFeed;

constexpr std::string_view kHost = kFixtureRulesHost;

// The error of a result, nothing for a success.
template <class T>
std::optional<RuleUpdateError> errorOf(const Result<T, RuleUpdateError>& result) {
    if (result.ok()) {
        return std::nullopt;
    }
    return result.error();
}

const std::string kStable = manifestURL(RuleUpdateChannel::stable, kHost);
const std::string kStableSig = Feed::signatureURL(kStable);
const std::string kBeta = manifestURL(RuleUpdateChannel::beta, kHost);

class SignedRuleFeedTest : public ::testing::Test {
protected:
    FixtureKey key_ = FixtureKey::generate("rules-test");
    FixtureKey other_ = FixtureKey::generate("rules-other");
    std::string trust_ = testing::keysetText({&key_});
    RuleRelease release_{"2026.03.01.1"};

    Result<RuleUpdateManifest, RuleUpdateError> verify(std::string_view manifest,
                                                       std::string_view signature,
                                                       std::string_view appVersion = "1.0") {
        return Feed::verify(manifest, signature, trust_, kHost, appVersion);
    }
};

TEST_F(SignedRuleFeedTest, FeedVersions) {
    struct Case {
        const char* text;
        std::optional<std::vector<std::uint64_t>> components;
    };
    const Case cases[] = {
        {"2025.01.15.1", std::vector<std::uint64_t>{2025, 1, 15, 1}},
        {"9999.12.31.999999", std::vector<std::uint64_t>{9999, 12, 31, 999999}},
        {"2025.01.15.0", std::nullopt},
        {"2025.1.15.1", std::nullopt},
        {"2025.01.15.1234567", std::nullopt},
        {"2025.01.15.01", std::nullopt},
        {"2025.01.15", std::nullopt},
        {"2025.01.15.1.", std::nullopt},
        {"2025.01.15.+1", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Feed::versionComponents(c.text), c.components) << c.text;
    }
    EXPECT_LT(Feed::compareComponents({2025, 3, 1, 9}, {2025, 3, 1, 10}), 0);
    EXPECT_GT(Feed::compareComponents({2025, 3, 2}, {2025, 3, 1, 10}), 0);
    EXPECT_LT(Feed::compareComponents({2025, 3}, {2025, 3, 0}), 0);  // a prefix is lower
    EXPECT_EQ(Feed::compareComponents({2025, 3}, {2025, 3}), 0);
}

TEST_F(SignedRuleFeedTest, AppVersionComparison) {
    struct Case {
        const char* app;
        const char* minimum;
        int order;
    };
    const Case cases[] = {
        {"1.2", "1.2.0", 0},
        {"1.9", "1.10", -1},
        {"1..2", "1.2", 0},      // empty pieces dropped
        {"1.2-beta", "1.0", 0},  // "2-beta" is no number: 0
        {"0.0.0", "0.0.1", -1},
        // A piece beyond 64 bits is the largest value, not 0.
        {"1.0", "1.99999999999999999999999", -1},
        {"1.99999999999999999999999", "1.18446744073709551615", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Feed::compareAppVersions(c.app, c.minimum), c.order)
            << c.app << " vs " << c.minimum;
    }
}

TEST_F(SignedRuleFeedTest, Locations) {
    EXPECT_EQ(Feed::rulesBase(kHost), "https://rules.fixture.example/scourlet/rules/");
    EXPECT_EQ(kStableSig, "https://rules.fixture.example/scourlet/rules/manifest.sig");
    EXPECT_EQ(Feed::signatureURL(kBeta),
              "https://rules.fixture.example/scourlet/rules/beta/manifest.sig");
    EXPECT_EQ(Feed::ruleFileURL("2026.03.01.1", "data.min.json", kHost),
              "https://rules.fixture.example/scourlet/rules/2026.03.01.1/data.min.json");

    const std::string base = Feed::rulesBase(kHost);
    struct Case {
        std::string url;
        bool manifest;
        bool allowed;
    };
    const Case cases[] = {
        {kStable, true, true},
        {kBeta, true, true},
        {kStableSig, false, true},
        {Feed::signatureURL(kBeta), false, true},
        {base + "2026.03.01.1/data.min.json", false, true},
        {base + "2026.03.01.1/scourlet-supplementary.json", false, true},
        {base + "2026.03.01.1/command-guard-rules.json", false, false},
        {base + "2026.03.01.01/data.min.json", false, false},
        {base + "2026.03.01.1//data.min.json", false, false},
        {base + "beta/2026.03.01.1/data.min.json", false, false},
        {base + "2026.03.01.1/data.min.json?x=1", false, false},
        {base + "2026.03.01.1/data.min.json#x", false, false},
        {kStable + "?x=1", false, false},
        {"http://rules.fixture.example/scourlet/rules/manifest.json", false, false},
        {"https://other.example/scourlet/rules/manifest.json", false, false},
        {"https://RULES.fixture.example/scourlet/rules/manifest.json", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Feed::isManifestURL(c.url, kHost), c.manifest) << c.url;
        EXPECT_EQ(Feed::isAllowedURL(c.url, kHost), c.allowed) << c.url;
    }
}

TEST_F(SignedRuleFeedTest, AcceptsASignedManifest) {
    const auto proof = release_.proof(key_);
    const auto manifest = verify(proof.manifest, proof.signature);
    ASSERT_TRUE(manifest.ok()) << manifest.error().errorDescription();
    EXPECT_EQ(manifest->currentVersion, "2026.03.01.1");
    EXPECT_EQ(Feed::kMessageHeader.size(), 26u);
    // A key set with other keys as well still finds the signing key.
    trust_ = testing::keysetText({&other_, &key_});
    EXPECT_TRUE(verify(proof.manifest, proof.signature).ok());
}

// Every refusal of the proof is the one feed rejection, whatever failed:
// parsers' own texts never reach the user.
TEST_F(SignedRuleFeedTest, RefusesEveryBadProofWithTheOneRejection) {
    const std::string manifest = release_.manifestText();
    const std::string signature = testing::signRuleManifest(manifest, key_);
    const std::string signatureB64 = Json::parse(signature)["signature"];
    const std::string raw = *base64Decode(signatureB64);
    auto envelope = [&](std::string_view algorithm, std::string_view id, std::string_view sig) {
        return testing::envelopeText(algorithm, id, sig);
    };
    struct Case {
        const char* name;
        std::string manifest;
        std::string signature;
        std::string trust;
    };
    std::string changed = manifest;
    changed[changed.find("Scourlet")] = 's';
    const std::string signedWithoutHeader = testing::envelopeText(manifest, key_);
    std::string oversized = manifest;
    oversized.insert(oversized.size() - 1, ",\"pad\":\"" + std::string(65536, 'x') + "\"");
    const Case cases[] = {
        {"one byte of the manifest changed", changed, signature, trust_},
        {"signed by a key not in the set", manifest, testing::signRuleManifest(manifest, other_),
         trust_},
        {"key id of another key", manifest, envelope("Ed25519", "rules-other", signatureB64),
         testing::keysetText({&key_, &other_})},
        {"signed without the header", manifest, signedWithoutHeader, trust_},
        {"no key in the set", manifest, signature, "{}"},
        {"key set that does not parse", manifest, signature, "{\"rules-test\":\"short\"}"},
        {"key set with a newline", manifest, signature, trust_ + "\n"},
        {"envelope not JSON", manifest, "not json", trust_},
        {"envelope missing a member", manifest, R"({"algorithm":"Ed25519","keyID":"rules-test"})",
         trust_},
        {"pretty-printed envelope", manifest, Json::parse(signature).dump(1), trust_},
        {"members reordered", manifest,
         R"({"keyID":"rules-test","algorithm":"Ed25519","signature":")" + signatureB64 + "\"}",
         trust_},
        {"extra member", manifest, signature.substr(0, signature.size() - 1) + R"(,"x":"y"})",
         trust_},
        {"trailing newline", manifest, signature + "\n", trust_},
        {"other algorithm", manifest, envelope("ed25519", "rules-test", signatureB64), trust_},
        {"unpadded signature", manifest,
         envelope("Ed25519", "rules-test", signatureB64.substr(0, signatureB64.size() - 2)),
         trust_},
        {"signature with a line break", manifest,
         envelope("Ed25519", "rules-test",
                  signatureB64.substr(0, 40) + "\\n" + signatureB64.substr(40)),
         trust_},
        {"63-byte signature", manifest,
         envelope("Ed25519", "rules-test", testing::base64Text(raw.substr(0, 63))), trust_},
        {"65-byte signature", manifest,
         envelope("Ed25519", "rules-test", testing::base64Text(raw + "x")), trust_},
        {"manifest over 64 KiB", oversized, testing::signRuleManifest(oversized, key_), trust_},
        {"signature file over 2 KiB", manifest,
         signature.substr(0, signature.size() - 1) + ",\"x\":\"" + std::string(2048, 'x') + "\"}",
         trust_},
    };
    for (const Case& c : cases) {
        const auto result = Feed::verify(c.manifest, c.signature, c.trust, kHost, "1.0");
        ASSERT_FALSE(result.ok()) << c.name;
        EXPECT_EQ(result.error(), Feed::rejection()) << c.name;
    }
    // A valid signature whose "/" characters are written escaped: find a
    // manifest whose signature has one.
    for (int i = 0;; ++i) {
        Json json = release_.manifest;
        json["notes"] = Json::array({"note " + std::to_string(i)});
        const std::string text = json.dump();
        const std::string good = testing::signRuleManifest(text, key_);
        if (good.find('/') == std::string::npos) {
            continue;
        }
        std::string escaped;
        for (char c : good) {
            escaped += c == '/' ? std::string("\\/") : std::string(1, c);
        }
        EXPECT_TRUE(Feed::verify(text, good, trust_, kHost, "1.0").ok());
        EXPECT_EQ(Feed::verify(text, escaped, trust_, kHost, "1.0").error(), Feed::rejection());
        break;
    }
    EXPECT_EQ(Feed::rejection().errorDescription(),
              "Invalid rules manifest: Signed rule feed rejected or unavailable; bundled or last "
              "verified rules retained.");
}

TEST_F(SignedRuleFeedTest, ChecksTheSignedManifest) {
    const std::string base = Feed::rulesBase(kHost);
    struct Case {
        const char* name;
        std::function<void(Json&)> change;
        std::optional<RuleUpdateError> error;  // nothing: accepted
    };
    const Case cases[] = {
        {"as released", [](Json&) {}, std::nullopt},
        {"minAppVersion met with padding", [](Json& j) { j["minAppVersion"] = "1.0.0"; },
         std::nullopt},
        {"minAppVersion above the app", [](Json& j) { j["minAppVersion"] = "1.10"; },
         RuleUpdateError::incompatibleAppVersion("1.10")},
        {"validation keeps its text", [](Json& j) { j["product"] = "Other"; },
         RuleUpdateError::invalidManifest("Unexpected product")},
        {"does not decode", [](Json& j) { j.erase("notes"); }, Feed::rejection()},
        {"schema 0", [](Json& j) { j["schemaVersion"] = 0; }, Feed::rejection()},
        {"not a feed version", [](Json& j) { j["currentVersion"] = "2026.3.1.1"; },
         Feed::rejection()},
        {"a Command Guard file",
         [&](Json& j) {
             j["files"][1] =
                 testing::ruleFileEntry("command-guard", "scourlet-supplementary.json",
                                        base + "2026.03.01.1/scourlet-supplementary.json", "{}");
             j["files"].push_back(testing::ruleFileEntry("scourlet-supplementary", "x.json",
                                                         base + "2026.03.01.1/x.json", "{}"));
         },
         Feed::rejection()},
        {"a third file",
         [&](Json& j) {
             j["files"].push_back(
                 testing::ruleFileEntry("command-guard", "command-guard-rules.json",
                                        base + "2026.03.01.1/command-guard-rules.json", "{}"));
         },
         Feed::rejection()},
        {"another version folder",
         [&](Json& j) { j["files"][0]["url"] = base + "2026.02.01.1/data.min.json"; },
         Feed::rejection()},
        {"another host",
         [](Json& j) {
             j["files"][0]["url"] =
                 "https://evil.example/scourlet/rules/2026.03.01.1/data.min.json";
         },
         Feed::rejection()},
        {"kinds swapped",
         [](Json& j) {
             j["files"][0]["kind"] = "scourlet-supplementary";
             j["files"][1]["kind"] = "clearurls";
         },
         Feed::rejection()},
        {"no size", [](Json& j) { j["files"][0].erase("bytes"); }, Feed::rejection()},
        {"size 0", [](Json& j) { j["files"][0]["bytes"] = 0; }, Feed::rejection()},
        {"size over 4 MiB", [](Json& j) { j["files"][0]["bytes"] = 4194305; }, Feed::rejection()},
        {"size of 4 MiB", [](Json& j) { j["files"][0]["bytes"] = 4194304; }, std::nullopt},
        {"upper-case digest",
         [](Json& j) {
             std::string sha = j["files"][0]["sha256"];
             for (char& c : sha) {
                 c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
             }
             j["files"][0]["sha256"] = sha;
         },
         Feed::rejection()},
    };
    for (const Case& c : cases) {
        Json json = release_.manifest;
        c.change(json);
        const std::string text = json.dump();
        const auto result = verify(text, testing::signRuleManifest(text, key_), "1.2");
        if (!c.error) {
            EXPECT_TRUE(result.ok()) << c.name << ": " << result.error().errorDescription();
        } else {
            ASSERT_FALSE(result.ok()) << c.name;
            EXPECT_EQ(result.error(), *c.error) << c.name;
        }
    }
    EXPECT_EQ(errorOf(Feed::checkedManifest("", kHost)), Feed::rejection());
}

TEST_F(SignedRuleFeedTest, VerifiesARecordsRuleFiles) {
    const auto record = release_.signedRecord(key_);
    ASSERT_TRUE(Feed::verify(record, trust_, kHost, "1.0").ok());

    auto withSupplementary = [&](std::string bytes) {
        auto r = record;
        r.supplementary = std::move(bytes);
        return r;
    };
    std::string flipped = record.supplementary;
    flipped[flipped.size() / 2] ^= 1;
    const Feed::Record refused[] = {
        withSupplementary(flipped),
        withSupplementary(record.supplementary + " "),
        withSupplementary(record.supplementary.substr(1)),
        [&] {
            auto r = record;
            r.clear[r.clear.size() - 2] ^= 1;
            return r;
        }(),
        [&] {
            auto r = record;
            r.proof.signature = testing::signRuleManifest(r.proof.manifest, other_);
            return r;
        }(),
    };
    for (const auto& r : refused) {
        EXPECT_EQ(errorOf(Feed::verify(r, trust_, kHost, "1.0")), Feed::rejection());
    }

    // Correctly signed rules that do not decode keep their own text.
    RuleRelease broken("2026.03.01.2");
    broken.clear = "{\"providers\": 7}";
    broken.manifest["files"][0] = testing::ruleFileEntry(
        "clearurls", "data.min.json", Feed::ruleFileURL("2026.03.01.2", "data.min.json", kHost),
        broken.clear);
    EXPECT_EQ(errorOf(Feed::verify(broken.signedRecord(key_), trust_, kHost, "1.0")),
              RuleUpdateError::invalidRules("ClearURLs JSON could not be decoded"));
}

// --- Downloads over a scripted transport -------------------------------------------

TEST_F(SignedRuleFeedTest, DownloadKeepsToItsCapAndRefusesRedirects) {
    const std::string file = Feed::ruleFileURL("2026.03.01.1", "data.min.json", kHost);
    struct Case {
        const char* name;
        FakeHttpTransport::Reply reply;
        std::int64_t cap;
        std::optional<std::string> body;
        std::optional<RuleUpdateError> error;
    };
    auto declared = [](std::string body, std::string length) {
        auto reply = FakeHttpTransport::ok(std::move(body));
        EXPECT_TRUE(reply.headerFields.set("Content-Length", length).ok());
        return reply;
    };
    const Case cases[] = {
        {"exactly the cap", FakeHttpTransport::ok("0123456789"), 10, "0123456789", std::nullopt},
        {"a short body", FakeHttpTransport::ok("012"), 10, "012", std::nullopt},
        {"one byte over", FakeHttpTransport::ok("0123456789A"), 10, std::nullopt,
         Feed::rejection()},
        {"declared over the cap", declared("01234", "11"), 10, std::nullopt, Feed::rejection()},
        {"301", FakeHttpTransport::redirect(file, 301), 10, std::nullopt, Feed::rejection()},
        {"302", FakeHttpTransport::redirect(file, 302), 10, std::nullopt, Feed::rejection()},
        {"307", FakeHttpTransport::redirect(file, 307), 10, std::nullopt, Feed::rejection()},
        {"404", FakeHttpTransport::ok("gone", 404), 10, std::nullopt, Feed::rejection()},
        {"time-out", FakeHttpTransport::failure(HttpError::Kind::totalTimeout), 10, std::nullopt,
         RuleUpdateError::network("the rules server did not answer in time")},
        {"TLS failure", FakeHttpTransport::failure(HttpError::Kind::tlsFailure), 10, std::nullopt,
         RuleUpdateError::network("the secure connection to the rules server failed")},
        {"no connection", FakeHttpTransport::failure(HttpError::Kind::connectionFailed), 10,
         std::nullopt, RuleUpdateError::network("the rules server could not be reached")},
    };
    for (const Case& c : cases) {
        FakeHttpTransport http;
        http.on(file, c.reply);
        const auto result = Feed::download(http, file, c.cap, {}, kHost);
        if (c.body) {
            ASSERT_TRUE(result.ok()) << c.name;
            EXPECT_EQ(*result, *c.body) << c.name;
        } else {
            ASSERT_FALSE(result.ok()) << c.name;
            EXPECT_EQ(result.error(), *c.error) << c.name;
        }
        // The redirect is never followed.
        EXPECT_EQ(http.sent().size(), 1u) << c.name;
        EXPECT_FALSE(http.sent().front().hasRedirectHook) << c.name;
    }
}

TEST_F(SignedRuleFeedTest, RefusesBeforeAnyTraffic) {
    const std::string file = Feed::ruleFileURL("2026.03.01.1", "data.min.json", kHost);
    FakeHttpTransport http;
    http.on(file, FakeHttpTransport::ok("x"));
    EXPECT_EQ(Feed::download(http, file, 0, {}, kHost).error(), Feed::rejection());
    EXPECT_EQ(Feed::download(http, file, 4194305, {}, kHost).error(), Feed::rejection());
    EXPECT_EQ(Feed::download(http, file + "?v=2", 10, {}, kHost).error(), Feed::rejection());
    EXPECT_TRUE(Feed::download(http, file, 4194304, {}, kHost).ok());
    EXPECT_EQ(http.sent().size(), 1u);

    for (const std::string& url : {kStable + "?x=1", kStableSig, file}) {
        FakeHttpTransport none;
        EXPECT_EQ(Feed::fetchProof(none, url, trust_, {}, kHost).error(), Feed::rejection()) << url;
        EXPECT_TRUE(none.sent().empty()) << url;
    }
}

TEST_F(SignedRuleFeedTest, FetchesAndVerifiesAProof) {
    const auto proof = release_.proof(key_);
    FakeHttpTransport http;
    http.on(kStable, FakeHttpTransport::ok(proof.manifest));
    http.on(kStableSig, FakeHttpTransport::ok(proof.signature));
    const auto fetched = Feed::fetchProof(http, kStable, trust_, {}, kHost, "1.0");
    ASSERT_TRUE(fetched.ok()) << fetched.error().errorDescription();
    EXPECT_EQ(fetched->proof, proof);
    const auto verified = Feed::verify(proof.manifest, proof.signature, trust_, kHost, "1.0");
    ASSERT_TRUE(verified.ok());
    EXPECT_EQ(fetched->manifest, *verified);
    ASSERT_EQ(http.sent().size(), 2u);
    EXPECT_EQ(http.sent()[0].options.maxBodyBytes(), Feed::kMaxManifestBytes);
    EXPECT_EQ(http.sent()[1].options.maxBodyBytes(), Feed::kMaxSignatureBytes);

    // A proof that does not verify is refused; a failed manifest stops there.
    EXPECT_EQ(Feed::fetchProof(http, kStable, testing::keysetText({&other_}), {}, kHost).error(),
              Feed::rejection());
    FakeHttpTransport failing;
    failing.on(kBeta, FakeHttpTransport::redirect(kStable));
    failing.on(Feed::signatureURL(kBeta), FakeHttpTransport::ok(proof.signature));
    EXPECT_EQ(Feed::fetchProof(failing, kBeta, trust_, {}, kHost).error(), Feed::rejection());
    EXPECT_EQ(failing.sent().size(), 1u);
}

TEST_F(SignedRuleFeedTest, BundledTrustFallsBackToNoKeys) {
    testing::TempDir dir;
    const ResourceBundle bundle(dir.path());
    EXPECT_EQ(Feed::bundledTrust(&bundle), "{}");
    EXPECT_EQ(Feed::bundledTrust(nullptr), "{}");
    testing::writeFile(dir / "rule-feed-keys.json", trust_);
    EXPECT_EQ(Feed::bundledTrust(&bundle), trust_);
    // With no key every verification is the rejection.
    const auto proof = release_.proof(key_);
    EXPECT_EQ(
        errorOf(Feed::verify(proof.manifest, proof.signature, Feed::bundledTrust(nullptr), kHost)),
        Feed::rejection());
}

}  // namespace
}  // namespace scourlet

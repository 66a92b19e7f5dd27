// The signed rule feed over the real libcurl transport against an HTTPS
// server on 127.0.0.1 with a certificate made at test time; the fixture host
// is pinned to that server, so nothing leaves the machine.
#include <string>

#include <gtest/gtest.h>

#include "ScourletCore/platform/CurlHttpTransport.h"
#include "ScourletCore/ruleupdates/RuleUpdateChannel.h"
#include "ScourletCore/ruleupdates/SignedRuleFeed.h"
#include "support/RuleFeedFixture.h"
#include "support/TempDir.h"
#include "support/TestCertificateAuthority.h"
#include "support/TestHttpsServer.h"

namespace scourlet {
namespace {

using testing::kFixtureRulesHost;
using Feed = SignedRuleFeed;

const std::string kHost(kFixtureRulesHost);
const std::string kPath = "/scourlet/rules/";

class SignedRuleFeedHttpsTest : public ::testing::Test {
protected:
    SignedRuleFeedHttpsTest() { ca_.writePem(dir_ / "ca.pem"); }

    void serve(const std::string& path, std::string body, int status = 200,
               std::string location = {}) {
        server_.on(kHost, path, [body, status, location](const auto&, httplib::Response& res) {
            res.status = status;
            if (!location.empty()) {
                res.set_header("Location", location);
            }
            res.set_content(body, "application/octet-stream");
        });
    }

    CurlHttpTransport transport() {
        server_.start();
        CurlHttpTransport::Settings settings;
        settings.connectOverrides.push_back({"", 0, "127.0.0.1", server_.port()});
        settings.caFile = (dir_ / "ca.pem").string();
        auto curl = CurlHttpTransport::withSettings(std::move(settings));
        EXPECT_TRUE(curl.ok());
        return std::move(curl).value();
    }

    testing::TempDir dir_;
    testing::TestCertificateAuthority ca_{"Scourlet Test CA"};
    testing::TestHttpsServer server_{ca_.issue({kHost})};
    testing::FixtureKey key_ = testing::FixtureKey::generate("rules-test");
    testing::RuleRelease release_{"2026.03.01.1"};
};

TEST_F(SignedRuleFeedHttpsTest, FetchesAProofAndItsRuleFiles) {
    const auto proof = release_.proof(key_);
    serve(kPath + "beta/manifest.json", proof.manifest);
    serve(kPath + "beta/manifest.sig", proof.signature);
    serve(kPath + "2026.03.01.1/data.min.json", release_.clear);
    serve(kPath + "2026.03.01.1/scourlet-supplementary.json", release_.supplementary);
    auto http = transport();

    const std::string trust = testing::keysetText({&key_});
    const auto fetched = Feed::fetchProof(http, manifestURL(RuleUpdateChannel::beta, kHost), trust,
                                          {}, kHost, "1.0");
    ASSERT_TRUE(fetched.ok()) << fetched.error().errorDescription();
    EXPECT_EQ(fetched->proof, proof);

    const auto clearFile = *fetched->manifest.clearURLsFile();
    const auto clear = Feed::download(http, clearFile.url, *clearFile.bytes, {}, kHost);
    ASSERT_TRUE(clear.ok()) << clear.error().errorDescription();
    EXPECT_EQ(*clear, release_.clear);
    // One byte less room than the file: refused (the server declares its length).
    EXPECT_EQ(Feed::download(http, clearFile.url, *clearFile.bytes - 1, {}, kHost).error(),
              Feed::rejection());
}

TEST_F(SignedRuleFeedHttpsTest, DoesNotFollowARedirect) {
    const auto proof = release_.proof(key_);
    const std::string moved = "https://" + kHost + kPath + "beta/manifest.json";
    serve(kPath + "manifest.json", "moved", 301, moved);
    serve(kPath + "beta/manifest.json", proof.manifest);
    auto http = transport();

    const auto fetched = Feed::fetchProof(http, manifestURL(RuleUpdateChannel::stable, kHost),
                                          testing::keysetText({&key_}), {}, kHost, "1.0");
    ASSERT_FALSE(fetched.ok());
    EXPECT_EQ(fetched.error(), Feed::rejection());
    ASSERT_EQ(server_.requests().size(), 1u);
    EXPECT_EQ(server_.requests()[0].target, kPath + "manifest.json");
}

TEST_F(SignedRuleFeedHttpsTest, AnUnreachableServerIsANetworkError) {
    // Nothing listens on port 1 of the loopback address.
    CurlHttpTransport::Settings settings;
    settings.connectOverrides.push_back({"", 0, "127.0.0.1", 1});
    auto closed = CurlHttpTransport::withSettings(std::move(settings));
    ASSERT_TRUE(closed.ok());
    const auto result = Feed::download(*closed, manifestURL(RuleUpdateChannel::stable, kHost),
                                       Feed::kMaxManifestBytes, {}, kHost);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().kind, RuleUpdateError::Kind::network);
    EXPECT_EQ(result.error().errorDescription(),
              "Download failed: the rules server could not be reached");
}

}  // namespace
}  // namespace scourlet

// The maintainer's signing tool, run as a program: a key made now, a rules
// release signed with it, and the published tree accepted by the feed.
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "ScourletCore/platform/Json.h"
#include "ScourletCore/ruleupdates/RuleUpdateChannel.h"
#include "ScourletCore/ruleupdates/RuleUpdateManifest.h"
#include "ScourletCore/ruleupdates/SignedRuleFeed.h"
#include "support/RuleFeedFixture.h"
#include "support/TempDir.h"

namespace scourlet {
namespace {

using Feed = SignedRuleFeed;
const std::string kHost(testing::kFixtureRulesHost);

std::string shippedRulesVersion() {
    const auto manifest = RuleUpdateManifest::decode(testing::readFile(
        std::filesystem::path(SCOURLET_SOURCE_DIR) / "ScourletCore/Resources/manifest.json"));
    return manifest ? manifest->currentVersion : "";
}

int run(const std::string& arguments, const std::filesystem::path& output) {
    const std::string command =
        std::string(SCOURLET_SIGN_TOOL) + " " + arguments + " >" + output.string() + " 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(RuleSigningToolTest, SignsAReleaseThatTheFeedAccepts) {
    testing::TempDir dir;
    const auto key = dir / "rules.key";
    ASSERT_EQ(run("generate-key " + key.string() + " rules-2027", dir / "entry.txt"), 0)
        << testing::readFile(dir / "entry.txt");
    std::string entry = testing::readFile(dir / "entry.txt");
    entry.pop_back();  // the line break
    const std::string trust = "{" + entry + "}";
    testing::writeFile(dir / "keys.json", trust);
    testing::writeFile(dir / "data.min.json", testing::fixtureProvidersFile("clear"));
    testing::writeFile(dir / "supplementary.json", testing::fixtureProvidersFile("supplementary"));

    const std::string sign = "sign-rules --key " + key.string() + " --key-id rules-2027 --keyset " +
                             (dir / "keys.json").string() + " --maker-host " + kHost +
                             " --channel beta --min-app-version 0.1 --note 'First release'"
                             " --published-at 2027-01-15T08:00:00Z --out " +
                             (dir / "out").string() + " " + (dir / "data.min.json").string() + " " +
                             (dir / "supplementary.json").string() + " --version ";
    ASSERT_EQ(run(sign + "2027.01.15.1", dir / "log.txt"), 0) << testing::readFile(dir / "log.txt");

    const Feed::Record record{
        {testing::readFile(dir / "out/beta/manifest.json"),
         testing::readFile(dir / "out/beta/manifest.sig")},
        testing::readFile(dir / "out/2027.01.15.1/data.min.json"),
        testing::readFile(dir / "out/2027.01.15.1/scourlet-supplementary.json")};
    const auto manifest = Feed::verify(record, trust, kHost, "0.1");
    ASSERT_TRUE(manifest.ok()) << manifest.error().errorDescription();
    EXPECT_EQ(manifest->currentVersion, "2027.01.15.1");
    EXPECT_EQ(manifest->notes, std::vector<std::string>{"First release"});
    EXPECT_EQ(manifest->minAppVersion, "0.1");
    EXPECT_EQ(Feed::signatureURL(manifestURL(RuleUpdateChannel::beta, kHost)),
              Feed::rulesBase(kHost) + "beta/manifest.sig");

    // Refused before anything is written: a version that is no feed
    // version, and a key the keyset does not hold.
    EXPECT_NE(run(sign + "2027.1.15.1", dir / "log.txt"), 0);
    EXPECT_NE(run("sign-rules --key " + key.string() + " --key-id other-key --keyset " +
                      (dir / "keys.json").string() + " --version 2027.01.16.1 --out " +
                      (dir / "out2").string() + " " + (dir / "data.min.json").string() + " " +
                      (dir / "supplementary.json").string(),
                  dir / "log.txt"),
              0);
    EXPECT_FALSE(std::filesystem::exists(dir / "out2"));

    // Below the shipped rules' version the programs use no release: refused
    // unless the maintainer insists.
    ASSERT_NE(run(sign + "2026.01.15.1", dir / "log.txt"), 0);
    EXPECT_NE(testing::readFile(dir / "log.txt")
                  .find("version 2026.01.15.1 is below " + shippedRulesVersion()),
              std::string::npos)
        << testing::readFile(dir / "log.txt");
    EXPECT_FALSE(std::filesystem::exists(dir / "out/2026.01.15.1"));
    EXPECT_EQ(run(sign + "2026.01.15.1 --allow-old-version", dir / "log.txt"), 0)
        << testing::readFile(dir / "log.txt");
}

}  // namespace
}  // namespace scourlet

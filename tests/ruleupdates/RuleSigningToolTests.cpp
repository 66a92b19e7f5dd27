// The maintainer's signing tool, run as a program: a key made now, a rules
// release signed with it, and the published tree accepted by the feed.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

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

// A key made now, trusted by a keyset beside it, and the fixture's two rule
// files, all in `dir`; the sign-rules command line up to its version, which
// signs those files into dir/out.
std::string signingSetUp(const testing::TempDir& dir) {
    const auto key = dir / "rules.key";
    if (run("generate-key " + key.string() + " rules-2027", dir / "entry.txt") != 0) {
        ADD_FAILURE() << testing::readFile(dir / "entry.txt");
    }
    std::string entry = testing::readFile(dir / "entry.txt");
    entry.pop_back();  // the line break
    testing::writeFile(dir / "keys.json", "{" + entry + "}");
    testing::writeFile(dir / "data.min.json", testing::fixtureProvidersFile("clear"));
    testing::writeFile(dir / "supplementary.json", testing::fixtureProvidersFile("supplementary"));
    return "sign-rules --key " + key.string() + " --key-id rules-2027 --keyset " +
           (dir / "keys.json").string() + " --maker-host " + kHost + " --out " +
           (dir / "out").string() + " " + (dir / "data.min.json").string() + " " +
           (dir / "supplementary.json").string() + " --version ";
}

TEST(RuleSigningToolTest, RefusesPatternsThatTheProgramsWouldLeaveOut) {
    testing::TempDir dir;
    const std::string sign = signingSetUp(dir);
    // One provider with a pattern that does not compile after one that does,
    // in either rule file: the programs would clean without it.
    const struct {
        const char* file;
        const char* field;
        const char* pattern;
    } cases[] = {
        {"supplementary.json", "urlPattern", R"(^https?://broken\.example/((()"},
        {"data.min.json", "urlPattern", "[z-a]"},
        {"supplementary.json", "rules", "a("},
        {"data.min.json", "rawRules", "[z-a]"},
        {"supplementary.json", "referralMarketing", "ref)"},
        {"data.min.json", "exceptions", R"(^https?://a\.example/(?<=a{1,3})x)"},
        {"supplementary.json", "redirections", "(?P<"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.field);
        Json provider = {{"urlPattern", R"(^https?://broken\.example/)"}};
        if (std::string_view(c.field) == "urlPattern") {
            provider["urlPattern"] = c.pattern;
        } else {
            provider[c.field] = Json::array({"good", c.pattern});
        }
        Json file = Json::parse(testing::fixtureProvidersFile("kept"));
        file["providers"]["Broken Example"] = provider;
        const auto path = dir / c.file;
        const std::string shipped = testing::readFile(path);
        testing::writeFile(path, file.dump());

        EXPECT_EQ(run(sign + "2027.01.15.1", dir / "log.txt"), 1);
        const std::string log = testing::readFile(dir / "log.txt");
        EXPECT_EQ(
            log.rfind("scourlet-sign-catalog: 1 pattern of the rule files does not compile;", 0),
            0u)
            << log;
        EXPECT_NE(log.find("\n  " + path.string() + ": provider \"Broken Example\": " + c.field +
                           " \"" + c.pattern + "\""),
                  std::string::npos)
            << log;
        EXPECT_FALSE(std::filesystem::exists(dir / "out"));
        testing::writeFile(path, shipped);
    }
    // Every pattern compiles once more: signed.
    EXPECT_EQ(run(sign + "2027.01.15.1", dir / "log.txt"), 0) << testing::readFile(dir / "log.txt");
}

TEST(RuleSigningToolTest, RefusesAVersionThatDoesNotBeginWithARealDate) {
    testing::TempDir dir;
    const std::string sign = signingSetUp(dir);
    const struct {
        const char* version;
        bool real;
    } cases[] = {
        {"2099.02.30.1", false}, {"2027.02.29.1", false}, {"2100.02.29.1", false},
        {"2027.04.31.1", false}, {"2027.13.01.1", false}, {"2027.00.10.1", false},
        {"2027.01.00.1", false}, {"2028.02.29.1", true},  {"2400.02.29.1", true},
        {"2027.12.31.1", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        std::filesystem::remove_all(dir / "out");
        const int status = run(sign + c.version, dir / "log.txt");
        const std::string log = testing::readFile(dir / "log.txt");
        if (c.real) {
            EXPECT_EQ(status, 0) << log;
        } else {
            EXPECT_EQ(status, 1);
            EXPECT_EQ(log, "scourlet-sign-catalog: the version " + std::string(c.version) +
                               " does not begin with a real date: " +
                               std::string(c.version).substr(0, 10) +
                               " is no day of the calendar\n");
            EXPECT_FALSE(std::filesystem::exists(dir / "out"));
        }
    }
}

}  // namespace
}  // namespace scourlet

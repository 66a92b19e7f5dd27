// The maintainer's signing tool, run as a program: a key made now, a rules
// release signed with it, and the published tree accepted by the feed.
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/platform/Json.h"
#include "ScourletCore/ruleupdates/RuleUpdateChannel.h"
#include "ScourletCore/ruleupdates/RuleUpdateManifest.h"
#include "ScourletCore/ruleupdates/SignedRuleFeed.h"
#include "support/FolderSnapshot.h"
#include "support/ProgramRun.h"
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
// files, all in `dir`; the sign-rules arguments up to its version, which sign
// those files into dir/out.
std::vector<std::string> signingArguments(const testing::TempDir& dir) {
    const auto key = dir / "rules.key";
    if (run("generate-key " + key.string() + " rules-2027", dir / "entry.txt") != 0) {
        ADD_FAILURE() << testing::readFile(dir / "entry.txt");
    }
    std::string entry = testing::readFile(dir / "entry.txt");
    entry.pop_back();  // the line break
    testing::writeFile(dir / "keys.json", "{" + entry + "}");
    testing::writeFile(dir / "data.min.json", testing::fixtureProvidersFile("clear"));
    testing::writeFile(dir / "supplementary.json", testing::fixtureProvidersFile("supplementary"));
    return {"sign-rules",
            "--key",
            key.string(),
            "--key-id",
            "rules-2027",
            "--keyset",
            (dir / "keys.json").string(),
            "--maker-host",
            kHost,
            "--out",
            (dir / "out").string(),
            (dir / "data.min.json").string(),
            (dir / "supplementary.json").string(),
            "--version"};
}

// The same as one command line for the shell.
std::string signingSetUp(const testing::TempDir& dir) {
    std::string line;
    for (const std::string& word : signingArguments(dir)) {
        line.append(line.empty() ? "" : " ").append(word);
    }
    return line + " ";
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

// A release that cannot be written whole leaves the one published before it
// as it was: its manifest, signature and rule files, byte for byte.
TEST(RuleSigningToolTest, AFailedWriteLeavesThePreviousReleaseWhole) {
    testing::TempDir dir;
    const std::vector<std::string> sign = signingArguments(dir);
    const auto out = dir / "out";
    const auto signing = [&](const std::string& version, std::vector<std::string> more = {}) {
        std::vector<std::string> arguments = sign;
        arguments.push_back(version);
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    };
    ASSERT_EQ(testing::runProgram(SCOURLET_SIGN_TOOL, signing("2027.01.15.1"), dir / "log.txt"), 0)
        << testing::readFile(dir / "log.txt");

    // A rule file far larger than a disk that fills up after 12 KiB; the
    // manifest and the signature would still fit.
    Json big = Json::parse(testing::fixtureProvidersFile("big"));
    for (int i = 0; i < 300; ++i) {
        big["providers"]["Fixture " + std::to_string(i)] =
            Json::parse(testing::fixtureProvidersFile(
                "p" + std::to_string(i)))["providers"]["Fixture p" + std::to_string(i)];
    }
    testing::writeFile(dir / "big.min.json", big.dump());
    ASSERT_GT(testing::readFile(dir / "big.min.json").size(), 3u * 12 * 1024);

    const std::string next = (out / "2027.01.16.1").string();
    const struct {
        const char* name;
        std::function<void()> prepare;
        std::vector<std::string> arguments;
        std::optional<std::uint64_t> fileSizeLimit;
        std::string says;
    } cases[] = {
        {"the disk fills up while a rule file is written", [] {}, signing("2027.01.16.1"),
         12 * 1024, ""},
        {"a file stands where the version folder goes",
         [&] { testing::writeFile(next, "not a folder"); }, signing("2027.01.16.1"), std::nullopt,
         "could not make the folder " + next + ": a file stands where it goes"},
        {"a folder stands where the channel's manifest goes, after the signature",
         [&] {
             std::filesystem::create_directories(out / "beta/manifest.json");
             testing::writeFile(out / "beta/manifest.sig", "the signature published before");
         },
         signing("2027.01.16.1", {"--channel", "beta"}), std::nullopt,
         "could not move " + (out / "beta/manifest.json").string() +
             " into place: Is a directory; every file is as it was"},
        {"the version folder holds other rule files",
         [&] {
             testing::writeFile(next + "/data.min.json", testing::fixtureProvidersFile("clear"));
             testing::writeFile(next + "/scourlet-supplementary.json", "{}");
         },
         signing("2027.01.16.1"), std::nullopt,
         "the folder " + next +
             " already holds release 2027.01.16.1 with another scourlet-supplementary.json; the "
             "programs refuse a version published again with other bytes, so sign these rule "
             "files as a new version (such as 2027.01.16.2)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        std::vector<std::string> arguments = c.arguments;
        if (c.fileSizeLimit) {
            std::replace(arguments.begin(), arguments.end(), (dir / "data.min.json").string(),
                         (dir / "big.min.json").string());
        }
        const auto before = testing::folderSnapshot(out);
        EXPECT_EQ(
            testing::runProgram(SCOURLET_SIGN_TOOL, arguments, dir / "log.txt", c.fileSizeLimit),
            1);
        const std::string log = testing::readFile(dir / "log.txt");
        const std::string says = c.says.empty() ? "could not write " + next +
                                                      "/data.min.json: " + std::strerror(EFBIG) +
                                                      "; every file is as it was"
                                                : c.says;
        EXPECT_EQ(log, "scourlet-sign-catalog: " + says + "\n");
        EXPECT_EQ(testing::folderSnapshot(out), before);
        std::filesystem::remove_all(next);
        std::filesystem::remove_all(out / "beta");
    }

    // Signing the same release again finds its rule files in place, and
    // changes none of them.
    const auto ruleFiles = testing::folderSnapshot(out / "2027.01.15.1");
    EXPECT_EQ(testing::runProgram(SCOURLET_SIGN_TOOL, signing("2027.01.15.1"), dir / "log.txt"), 0)
        << testing::readFile(dir / "log.txt");
    EXPECT_EQ(testing::folderSnapshot(out / "2027.01.15.1"), ruleFiles);
}

}  // namespace
}  // namespace scourlet

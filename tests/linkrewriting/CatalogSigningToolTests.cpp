// The maintainer's signing tool, run as a program: a catalog written by hand,
// signed with a key made now, and the published files accepted as the
// programs accept them.
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/linkrewriting/PrivacyCatalogManifest.h"
#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"
#include "support/FixtureSigner.h"
#include "support/FolderSnapshot.h"
#include "support/ProgramRun.h"
#include "support/TempDir.h"

namespace scourlet {
namespace {

using testing::FixtureCatalog;
using testing::FixtureKey;
using testing::FixtureService;
using testing::kFixtureGenerated;
using testing::kFixtureHost;
using testing::kFixtureReviewed;

int run(const std::string& arguments, const std::filesystem::path& output) {
    const std::string command =
        std::string(SCOURLET_SIGN_TOOL) + " " + arguments + " >" + output.string() + " 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The key file the tool reads: the base64 text of the key's 32-byte seed,
// the first half of libsodium's secret key, readable by its owner alone
// unless `permissions` says otherwise.
void writeKeyFile(const std::filesystem::path& path, const FixtureKey& key,
                  std::filesystem::perms permissions = std::filesystem::perms::owner_read |
                                                       std::filesystem::perms::owner_write) {
    testing::writeFile(path, testing::base64Text(key.secretKey.substr(0, 32)) + "\n");
    std::filesystem::permissions(path, permissions);
}

FixtureCatalog smallCatalog() {
    FixtureCatalog catalog;
    catalog.generated = kFixtureGenerated;
    catalog.version = 12;
    catalog.services = {FixtureService::nitter("nitter-one", kFixtureReviewed),
                        FixtureService::nitter("nitter-two", kFixtureReviewed)};
    return catalog;
}

TEST(CatalogSigningToolTest, SignsACatalogAndItsManifestThatTheProgramsAccept) {
    const testing::TempDir dir;
    const FixtureKey key = FixtureKey::generate("catalog-2027");
    writeKeyFile(dir / "catalog.key", key);
    const std::string keyset = testing::keysetText({&key});
    testing::writeFile(dir / "keys.json", keyset);
    const FixtureCatalog catalog = smallCatalog();
    testing::writeFile(dir / "catalog.json", catalog.text());

    const std::string common = "--key " + (dir / "catalog.key").string() + " --keyset " +
                               (dir / "keys.json").string() + " --maker-host " +
                               std::string(kFixtureHost);
    ASSERT_EQ(run("sign " + common + " --key-id catalog-2027 --manifest --out " +
                      (dir / "out").string() + " " + (dir / "catalog.json").string(),
                  dir / "log.txt"),
              0)
        << testing::readFile(dir / "log.txt");

    const std::string payload = testing::readFile(dir / "out/privacy-services.json");
    const std::string envelope = testing::readFile(dir / "out/privacy-services.sig");
    const std::string manifestText = testing::readFile(dir / "out/current.json");

    // The catalog is published as written (it is canonical already), and its
    // signature is the core's to accept.
    EXPECT_EQ(payload, catalog.text());
    const auto verified = PrivacyServicesCatalog::verify(payload, envelope, keyset, std::nullopt);
    ASSERT_TRUE(verified.ok()) << verified.error().message;
    EXPECT_EQ(verified->catalog().version, 12u);
    EXPECT_EQ(verified->catalog().services.size(), 2u);

    // The manifest names both files with their sizes, digests and the
    // addresses of the given host, in canonical form.
    const auto manifest = PrivacyCatalogManifest::parse(manifestText, kFixtureHost);
    ASSERT_TRUE(manifest.ok()) << manifestText;
    EXPECT_EQ(manifestText, testing::FixtureManifest::describing(payload, envelope, 12,
                                                                 kFixtureGenerated, kFixtureHost)
                                .text());
    EXPECT_EQ(manifest->payload.sha256, testing::sha256HexOf(payload));
    EXPECT_EQ(manifest->signature.bytes, static_cast<std::int64_t>(envelope.size()));
}

TEST(CatalogSigningToolTest, RefusesWhatTheProgramsWouldRefuseAndWritesNothing) {
    const testing::TempDir dir;
    const FixtureKey key = FixtureKey::generate("catalog-2027");
    const FixtureKey stranger = FixtureKey::generate("catalog-2027");
    writeKeyFile(dir / "catalog.key", key);
    writeKeyFile(dir / "stranger.key", stranger);
    // Keys that others may read, or that the group may change.
    using std::filesystem::perms;
    writeKeyFile(dir / "shared.key", key,
                 perms::owner_read | perms::owner_write | perms::group_read | perms::others_read);
    writeKeyFile(dir / "group-writable.key", key,
                 perms::owner_read | perms::owner_write | perms::group_write);
    testing::writeFile(dir / "keys.json", testing::keysetText({&key}));
    const std::string text = smallCatalog().text();
    testing::writeFile(dir / "catalog.json", text);
    // A field the catalog format does not know would be dropped from what is signed.
    testing::writeFile(dir / "extra.json", "{\"extra\":1," + text.substr(1));
    testing::writeFile(dir / "broken.json", text.substr(0, text.size() / 2));
    // A service added at the end, as one adds it by hand, out of id order.
    FixtureCatalog appended = smallCatalog();
    appended.services.push_back(FixtureService::nitter("another-nitter", kFixtureReviewed));
    testing::writeFile(dir / "appended.json", appended.text());

    // Keysets that hold the right key but are laid out as an ordinary jq
    // writes them, or in the wrong order.
    const FixtureKey other = FixtureKey::generate("catalog-2026");
    const std::string entry = testing::keysetText({&key}).substr(1);
    const std::string otherEntry = testing::keysetText({&other});
    const std::string sorted = otherEntry.substr(0, otherEntry.size() - 1) + "," + entry;
    testing::writeFile(dir / "line-feed.json", sorted + "\n");
    testing::writeFile(dir / "spaced.json", "{ " + sorted.substr(1));
    testing::writeFile(dir / "unsorted.json",
                       "{" + entry.substr(0, entry.size() - 1) + "," + otherEntry.substr(1));

    const std::string keyFile = (dir / "catalog.key").string();
    const std::string keyset = " --keyset " + (dir / "keys.json").string();
    const std::string signKey = "--key " + keyFile + " --key-id catalog-2027";
    const std::string catalogFile = " " + (dir / "catalog.json").string();
    const struct {
        const char* name;
        std::string arguments;
        std::string says;
    } cases[] = {
        {"key id not in the keyset",
         "--key " + keyFile + " --key-id other-key" + keyset + catalogFile,
         "the keyset " + (dir / "keys.json").string() +
             " holds no key id \"other-key\" (it holds catalog-2027); add the key with: "
             "scourlet-sign-catalog add-key --key " +
             keyFile + " --key-id other-key" + keyset},
        {"another key under the trusted id",
         "--key " + (dir / "stranger.key").string() + " --key-id catalog-2027" + keyset +
             catalogFile,
         "the key \"catalog-2027\" in the keyset " + (dir / "keys.json").string() +
             " is not the public key of " + (dir / "stranger.key").string()},
        {"keyset ending in a line feed",
         signKey + " --keyset " + (dir / "line-feed.json").string() + catalogFile,
         "the keyset " + (dir / "line-feed.json").string() +
             " is refused: it ends with a line break;"},
        {"keyset with spaces",
         signKey + " --keyset " + (dir / "spaced.json").string() + catalogFile,
         "the keyset " + (dir / "spaced.json").string() + " is refused: it holds spaces;"},
        {"keyset out of order",
         signKey + " --keyset " + (dir / "unsorted.json").string() + catalogFile,
         "the keyset " + (dir / "unsorted.json").string() +
             " is refused: its key ids are not in ascending order (\"catalog-2026\" comes after "
             "\"catalog-2027\"; jq -S sorts them)"},
        {"no keyset", signKey + " --keyset " + (dir / "none.json").string() + catalogFile,
         "could not read the keyset " + (dir / "none.json").string() + ": " +
             std::strerror(ENOENT)},
        {"no catalog", signKey + keyset + " " + (dir / "none.json").string(),
         "could not read the catalog " + (dir / "none.json").string() + ": " +
             std::strerror(ENOENT)},
        {"no key",
         "--key " + (dir / "none.key").string() + " --key-id catalog-2027" + keyset + catalogFile,
         "could not read the secret key " + (dir / "none.key").string()},
        {"key others may read",
         "--key " + (dir / "shared.key").string() + " --key-id catalog-2027" + keyset + catalogFile,
         "the secret key " + (dir / "shared.key").string() +
             " has mode 0644, so others may read or change it; make it private with: chmod 600 " +
             (dir / "shared.key").string() + "\n"},
        {"key the group may change",
         "--key " + (dir / "group-writable.key").string() + " --key-id catalog-2027" + keyset +
             catalogFile,
         "the secret key " + (dir / "group-writable.key").string() + " has mode 0620,"},
        {"unknown field", signKey + keyset + " " + (dir / "extra.json").string(),
         "the catalog " + (dir / "extra.json").string() + " holds keys"},
        {"not JSON", signKey + keyset + " " + (dir / "broken.json").string(),
         "the catalog " + (dir / "broken.json").string() + " does not decode"},
        {"a service rule", signKey + keyset + " " + (dir / "appended.json").string(),
         "the catalog " + (dir / "appended.json").string() +
             " would be refused: service \"another-nitter\" (number 3 in \"services\"): service "
             "ids "
             "must be unique and in ascending order, and \"another-nitter\" comes after "
             "\"nitter-two\"; sort the services by \"id\"\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NE(run("sign --manifest --out " + (dir / "out").string() + " " + c.arguments,
                      dir / "log.txt"),
                  0);
        // Refused for what it is, not for how it was asked, naming the file.
        const std::string log = testing::readFile(dir / "log.txt");
        EXPECT_EQ(log.rfind("scourlet-sign-catalog: " + c.says, 0), 0u) << log;
        EXPECT_FALSE(std::filesystem::exists(dir / "out"));
    }
}

TEST(CatalogSigningToolTest, MakesAKeyInAPrivateFolderAndAddsItToAKeysetTheProgramsAccept) {
    const testing::TempDir dir;
    const auto keyFile = dir / "keys" / "new" / "catalog.key";
    ASSERT_EQ(run("generate-key " + keyFile.string() + " catalog-2027", dir / "entry.txt"), 0)
        << testing::readFile(dir / "entry.txt");
    for (const auto& folder : {dir / "keys", dir / "keys" / "new"}) {
        EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_all);
    }
    EXPECT_EQ(std::filesystem::status(keyFile).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    // A key is never overwritten.
    EXPECT_EQ(run("generate-key " + keyFile.string() + " catalog-2027", dir / "log.txt"), 1);
    EXPECT_NE(testing::readFile(dir / "log.txt").find("it exists already"), std::string::npos);

    // Added to a keyset that holds another key, after it in id order, and
    // to a keyset that does not exist yet.
    const FixtureKey other = FixtureKey::generate("catalog-2026");
    testing::writeFile(dir / "keys.json", testing::keysetText({&other}));
    const std::string add =
        "add-key --key " + keyFile.string() + " --key-id catalog-2027 --keyset ";
    for (const auto& keyset : {dir / "keys.json", dir / "fresh.json"}) {
        ASSERT_EQ(run(add + keyset.string(), dir / "log.txt"), 0)
            << testing::readFile(dir / "log.txt");
        const std::string text = testing::readFile(keyset);
        const auto keys = PrivacyServicesCatalog::parseKeyset(text);
        ASSERT_TRUE(keys.ok()) << text;
        std::string entry = testing::readFile(dir / "entry.txt");
        entry.pop_back();
        EXPECT_TRUE(text.ends_with(entry + "}")) << text;
        EXPECT_EQ(keys->size(), keyset == dir / "keys.json" ? 2u : 1u);
        // Adding it again changes nothing.
        EXPECT_EQ(run(add + keyset.string(), dir / "log.txt"), 0);
        EXPECT_EQ(testing::readFile(keyset), text);
    }
    testing::writeFile(dir / "catalog.json", smallCatalog().text());
    EXPECT_EQ(run("sign --key " + keyFile.string() + " --key-id catalog-2027 --keyset " +
                      (dir / "keys.json").string() + " --out " + (dir / "out").string() + " " +
                      (dir / "catalog.json").string(),
                  dir / "log.txt"),
              0)
        << testing::readFile(dir / "log.txt");
    // Another key under a name the keyset holds is refused.
    EXPECT_EQ(run("add-key --key " + keyFile.string() + " --key-id catalog-2026 --keyset " +
                      (dir / "keys.json").string(),
                  dir / "log.txt"),
              1);
}

TEST(CatalogSigningToolTest, HelpGoesToStandardOutputAndUsageErrorsToStandardError) {
    const testing::TempDir dir;
    const auto runApart = [&](const std::string& arguments) {
        const std::string command = std::string(SCOURLET_SIGN_TOOL) + " " + arguments + " >" +
                                    (dir / "out.txt").string() + " 2>" + (dir / "err.txt").string();
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    for (const std::string help : {"--help", "-h", "sign --help"}) {
        EXPECT_EQ(runApart(help), 0);
        EXPECT_EQ(testing::readFile(dir / "out.txt").rfind("usage:\n", 0), 0u);
        EXPECT_EQ(testing::readFile(dir / "err.txt"), "");
    }
    // What it refuses is named before the usage.
    EXPECT_EQ(runApart("sign --bogus"), 2);
    EXPECT_EQ(testing::readFile(dir / "out.txt"), "");
    EXPECT_EQ(testing::readFile(dir / "err.txt")
                  .rfind("scourlet-sign-catalog: unknown option \"--bogus\"\nusage:\n", 0),
              0u)
        << testing::readFile(dir / "err.txt");
    EXPECT_EQ(runApart("bogus"), 2);
    EXPECT_EQ(testing::readFile(dir / "out.txt"), "");
    EXPECT_EQ(testing::readFile(dir / "err.txt")
                  .rfind("scourlet-sign-catalog: unknown command \"bogus\"\nusage:\n", 0),
              0u)
        << testing::readFile(dir / "err.txt");
}

// Every command line the tool cannot use is refused with its cause, then the
// usage (status 2); what it can read but not use, with the file (status 1).
TEST(CatalogSigningToolTest, EveryRefusalNamesItsCause) {
    const testing::TempDir dir;
    const FixtureKey key = FixtureKey::generate("catalog-2027");
    writeKeyFile(dir / "catalog.key", key);
    testing::writeFile(dir / "keys.json", testing::keysetText({&key}));
    const std::string keyFile = (dir / "catalog.key").string();
    const std::string keyset = (dir / "keys.json").string();
    const std::string none = (dir / "none.json").string();
    using Words = std::vector<std::string>;
    const Words keyArguments = {"--key", keyFile, "--key-id", "catalog-2027", "--keyset", keyset};
    const auto with = [](Words first, const Words& more) {
        first.insert(first.end(), more.begin(), more.end());
        return first;
    };
    const Words sign = with(with({"sign"}, keyArguments), {"--out", (dir / "out").string()});
    const Words signRules = with(with({"sign-rules"}, keyArguments),
                                 {"--out", (dir / "out").string(), "--version", "2027.01.15.1"});
    const Words addKey = with({"add-key"}, keyArguments);
    const std::string hostRefused =
        "--maker-host \"evil host/x\" is no host name: give a lower-case host name such as "
        "updates.example.com, without a scheme, port, path or spaces";
    const struct {
        Words arguments;
        int status;
        std::string says;
    } cases[] = {
        {with(sign, {"--bogus", "1", "catalog.json"}), 2, "unknown option \"--bogus\""},
        {with(signRules, {"--bogus", "1", "a.json", "b.json"}), 2, "unknown option \"--bogus\""},
        {with(addKey, {"--out", "x"}), 2, "unknown option \"--out\""},
        {{"generate-key", "--bogus", "x", "y"}, 2, "unknown option \"--bogus\""},
        {with(signRules, {"--channel", "gamma", "a.json", "b.json"}), 2,
         "unknown channel \"gamma\": --channel takes stable or beta"},
        {with(sign, {"catalog.json", "--key"}), 2, "--key needs a value"},
        {{"sign", "--key", "--key-id", "catalog-2027"}, 2, "--key needs a value"},
        {with(sign, {"--key", keyFile, "catalog.json"}), 2, "--key is given twice"},
        {{"sign"},
         2,
         "sign needs --key <secret-key-file>, --key-id <id>, --keyset <keyset.json> and --out "
         "<folder>"},
        {{"sign", "--key", keyFile, "--keyset", keyset, "catalog.json"},
         2,
         "sign needs --key-id <id> and --out <folder>"},
        {sign, 2, "sign needs the catalog file to sign"},
        {with(sign, {"a.json", "b.json"}), 2,
         "sign takes one catalog file; \"b.json\" is one too many"},
        {with(signRules, {"a.json"}), 2,
         "sign-rules takes two rule files, data.min.json and scourlet-supplementary.json in that "
         "order; it was given 1"},
        {with(with({"sign-rules"}, keyArguments), {"--out", "out", "a.json", "b.json"}), 2,
         "sign-rules needs --version <yyyy.mm.dd.n>"},
        {with(signRules, {"--min-app-version", "abc", "a.json", "b.json"}), 2,
         "--min-app-version \"abc\" is no version: give 1 to 6 numbers joined by dots, such as "
         "1.2"},
        {with(signRules, {"--maker-host", "evil host/x", "a.json", "b.json"}), 2, hostRefused},
        {with(sign, {"--maker-host", "evil host/x", "catalog.json"}), 2, hostRefused},
        {with(sign, {"--maker-host", "https://updates.example.com", "catalog.json"}), 2,
         "--maker-host \"https://updates.example.com\" is no host name:"},
        {{"sign", "--key", keyFile, "--key-id", "Catalog_2027", "--keyset", keyset, "--out", "o",
          "c.json"},
         2,
         "--key-id \"Catalog_2027\" is no key id: a key id has 1 to 64 characters from a-z, 0-9 "
         "and \"-\""},
        {{"add-key", "--key", keyFile, "--keyset", keyset}, 2, "add-key needs --key-id <id>"},
        {with(addKey, {"extra.json"}), 2,
         "add-key takes no file besides its options; \"extra.json\" is one too many"},
        {{"generate-key", "only-one"},
         2,
         "generate-key takes a secret key file and a key id; it was given 1 argument"},
        {with(signRules, {none, none}), 1,
         "could not read the rule file " + none + ": " + std::strerror(ENOENT)},
        {with(sign, {none}), 1,
         "could not read the catalog " + none + ": " + std::strerror(ENOENT)},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const std::string& word : c.arguments) {
            line.append(" ").append(word);
        }
        SCOPED_TRACE(line);
        EXPECT_EQ(testing::runProgram(SCOURLET_SIGN_TOOL, c.arguments, dir / "log.txt"), c.status);
        const std::string log = testing::readFile(dir / "log.txt");
        const std::string first = "scourlet-sign-catalog: " + c.says;
        EXPECT_EQ(log.rfind(first, 0), 0u) << log;
        if (c.status == 2) {
            EXPECT_NE(log.find("\nusage:\n"), std::string::npos) << log;
        } else {
            EXPECT_EQ(log.find('\n'), log.size() - 1) << log;
        }
        EXPECT_FALSE(std::filesystem::exists(dir / "out"));
    }
}

// A signing that cannot write every file leaves those of the last signing
// as they were, byte for byte.
TEST(CatalogSigningToolTest, AFailedWriteLeavesThePreviouslySignedFilesWhole) {
    const testing::TempDir dir;
    const FixtureKey key = FixtureKey::generate("catalog-2027");
    writeKeyFile(dir / "catalog.key", key);
    testing::writeFile(dir / "keys.json", testing::keysetText({&key}));
    // A catalog far larger than a disk that fills up after 2 KiB; its
    // signature and manifest would still fit, and so would the message.
    FixtureCatalog catalog = smallCatalog();
    for (int i = 0; i < 10; ++i) {
        catalog.services.push_back(
            FixtureService::nitter("nitter-z" + std::to_string(30 + i), kFixtureReviewed));
    }
    testing::writeFile(dir / "catalog.json", catalog.text());
    catalog.version = 13;
    testing::writeFile(dir / "next.json", catalog.text());
    ASSERT_GT(catalog.text().size(), 2u * 2048);
    const auto out = dir / "out";
    const auto signing = [&](const std::filesystem::path& into, const std::string& file) {
        return std::vector<std::string>{
            "sign",         "--key",       (dir / "catalog.key").string(), "--key-id",
            "catalog-2027", "--keyset",    (dir / "keys.json").string(),   "--manifest",
            "--out",        into.string(), (dir / file).string()};
    };
    ASSERT_EQ(
        testing::runProgram(SCOURLET_SIGN_TOOL, signing(out, "catalog.json"), dir / "log.txt"), 0)
        << testing::readFile(dir / "log.txt");

    const struct {
        const char* name;
        std::function<void()> prepare;
        std::filesystem::path into;
        std::optional<std::uint64_t> fileSizeLimit;
        std::string says;
    } cases[] = {
        {"the disk fills up while the catalog is written", [] {}, out, 2048,
         "could not write " + (out / "privacy-services.json").string() + ": " +
             std::strerror(EFBIG) + "; every file is as it was"},
        {"a folder stands where the manifest goes, after the catalog and its signature",
         [&] {
             std::filesystem::remove(out / "current.json");
             std::filesystem::create_directory(out / "current.json");
         },
         out, std::nullopt,
         "could not move " + (out / "current.json").string() +
             " into place: Is a directory; every file is as it was"},
        {"a file stands where the output folder goes", [] {}, out / "privacy-services.json",
         std::nullopt,
         "could not make the folder " + (out / "privacy-services.json").string() +
             ": a file stands where it goes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        const auto before = testing::folderSnapshot(out);
        EXPECT_EQ(testing::runProgram(SCOURLET_SIGN_TOOL, signing(c.into, "next.json"),
                                      dir / "log.txt", c.fileSizeLimit),
                  1);
        EXPECT_EQ(testing::readFile(dir / "log.txt"), "scourlet-sign-catalog: " + c.says + "\n");
        EXPECT_EQ(testing::folderSnapshot(out), before);
    }
}

}  // namespace
}  // namespace scourlet

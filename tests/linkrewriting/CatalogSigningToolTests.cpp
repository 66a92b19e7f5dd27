// The maintainer's signing tool, run as a program: a catalog written by hand,
// signed with a key made now, and the published files accepted as the
// programs accept them.
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "ScourletCore/linkrewriting/PrivacyCatalogManifest.h"
#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"
#include "support/FixtureSigner.h"
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

    const std::string common = "--key " + (dir / "catalog.key").string() +
                               " --keyset " + (dir / "keys.json").string() +
                               " --maker-host " + std::string(kFixtureHost);
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
    EXPECT_EQ(manifestText,
              testing::FixtureManifest::describing(payload, envelope, 12, kFixtureGenerated,
                                                   kFixtureHost)
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
    EXPECT_EQ(runApart("sign --bogus"), 2);
    EXPECT_EQ(testing::readFile(dir / "out.txt"), "");
    EXPECT_EQ(testing::readFile(dir / "err.txt").rfind("usage:\n", 0), 0u);
    // A command it does not know is named before the usage.
    EXPECT_EQ(runApart("bogus"), 2);
    EXPECT_EQ(testing::readFile(dir / "out.txt"), "");
    EXPECT_EQ(testing::readFile(dir / "err.txt")
                  .rfind("scourlet-sign-catalog: unknown command \"bogus\"\nusage:\n", 0),
              0u)
        << testing::readFile(dir / "err.txt");
}

}  // namespace
}  // namespace scourlet

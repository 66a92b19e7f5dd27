// The maintainer's signing tool, run as a program: a catalog written by hand,
// signed with a key made now, and the published files accepted as the
// programs accept them.
#include <sys/wait.h>

#include <cstdlib>
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
// the first half of libsodium's secret key.
void writeKeyFile(const std::filesystem::path& path, const FixtureKey& key) {
    testing::writeFile(path, testing::base64Text(key.secretKey.substr(0, 32)) + "\n");
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
    testing::writeFile(dir / "keys.json", testing::keysetText({&key}));
    const std::string text = smallCatalog().text();
    testing::writeFile(dir / "catalog.json", text);
    // A field the catalog format does not know would be dropped from what is signed.
    testing::writeFile(dir / "extra.json", "{\"extra\":1," + text.substr(1));
    testing::writeFile(dir / "broken.json", text.substr(0, text.size() / 2));

    const std::string keyset = " --keyset " + (dir / "keys.json").string();
    const struct {
        const char* name;
        std::string arguments;
    } cases[] = {
        {"key id not in the keyset",
         "--key " + (dir / "catalog.key").string() + " --key-id other-key" + keyset + " " +
             (dir / "catalog.json").string()},
        {"another key under the trusted id",
         "--key " + (dir / "stranger.key").string() + " --key-id catalog-2027" + keyset + " " +
             (dir / "catalog.json").string()},
        {"unknown field", "--key " + (dir / "catalog.key").string() + " --key-id catalog-2027" +
                              keyset + " " + (dir / "extra.json").string()},
        {"not JSON", "--key " + (dir / "catalog.key").string() + " --key-id catalog-2027" +
                         keyset + " " + (dir / "broken.json").string()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NE(run("sign --manifest --out " + (dir / "out").string() + " " + c.arguments,
                      dir / "log.txt"),
                  0);
        // Refused for what it is, not for how it was asked.
        const std::string log = testing::readFile(dir / "log.txt");
        EXPECT_EQ(log.rfind("scourlet-sign-catalog: ", 0), 0u) << log;
        EXPECT_FALSE(std::filesystem::exists(dir / "out"));
    }
}

}  // namespace
}  // namespace scourlet

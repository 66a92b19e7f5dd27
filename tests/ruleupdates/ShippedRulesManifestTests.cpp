// The rules manifest shipped in the resource bundle must describe the rule
// files shipped beside it: it is the version floor of every install, and an
// install of the shipped version must carry exactly these files.
#include <gtest/gtest.h>

#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"
#include "ScourletCore/platform/Crypto.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/rules/RulesEngine.h"
#include "ScourletCore/ruleupdates/SignedRuleFeed.h"
#include "ScourletCore/ruleupdates/VerifiedRuleBundleLoader.h"
#include "support/TempDir.h"

namespace scourlet {
namespace {

using Feed = SignedRuleFeed;
using Kind = RuleUpdateManifest::File::Kind;

TEST(ShippedRulesManifestTest, DescribesTheShippedRuleFiles) {
    const ResourceBundle bundle(SCOURLET_BUNDLE_DIR);
    const auto manifest = Feed::shippedManifest(&bundle);
    ASSERT_TRUE(manifest.has_value())
        << "manifest.json is missing from the bundle or does not decode";
    ASSERT_TRUE(manifest->validate(Feed::kSupportedSchemaVersion).ok());
    EXPECT_EQ(manifest->schemaVersion, Feed::kSupportedSchemaVersion);
    EXPECT_TRUE(Feed::versionComponents(manifest->currentVersion).has_value())
        << manifest->currentVersion;
    EXPECT_EQ(Feed::minimumVersion(&bundle), manifest->currentVersion);
    ASSERT_EQ(manifest->files.size(), 2u);

    const std::pair<Kind, std::string_view> expected[] = {
        {Kind::clearurls, Feed::kClearURLsFileName},
        {Kind::scourletSupplementary, Feed::kSupplementaryFileName},
    };
    for (const auto& [kind, name] : expected) {
        const auto file =
            kind == Kind::clearurls ? manifest->clearURLsFile() : manifest->supplementaryFile();
        ASSERT_TRUE(file.has_value()) << name;
        EXPECT_EQ(file->path, name);
        const auto bytes = bundle.dataForResource(name.substr(0, name.size() - 5),
                                                  "json");  // name without ".json"
        ASSERT_TRUE(bytes.has_value()) << name;
        EXPECT_EQ(file->bytes, static_cast<std::int64_t>(bytes->size()))
            << name << " changed: describe it again in manifest.json (size)";
        EXPECT_EQ(file->sha256, sha256Hex(*bytes))
            << name << " changed: describe it again in manifest.json (SHA-256)";
        const std::string tail =
            "/scourlet/rules/" + manifest->currentVersion + "/" + std::string(name);
        EXPECT_TRUE(file->url.starts_with("https://") && file->url.ends_with(tail)) << file->url;
    }
    // The shipped key set holds public keys that the feed accepts.
    const std::string trust = Feed::bundledTrust(&bundle);
    const auto keys = PrivacyServicesCatalog::parseKeyset(trust);
    ASSERT_TRUE(keys.ok());
    EXPECT_FALSE(keys->empty());
}

TEST(ShippedRulesManifestTest, WithNothingInstalledTheShippedVersionIsLoaded) {
    const ResourceBundle bundle(SCOURLET_BUNDLE_DIR);
    testing::TempDir root;
    RulesEngine engine(std::make_shared<InMemoryUserDefaults>(), &bundle);
    const auto loaded = VerifiedRuleBundleLoader::load(engine, root.path(), &bundle);
    EXPECT_EQ(loaded.version, Feed::shippedManifest(&bundle)->currentVersion);
    EXPECT_EQ(loaded.refusedUpdate, std::nullopt);
    EXPECT_FALSE(engine.compiledProviders().empty());
}

}  // namespace
}  // namespace scourlet

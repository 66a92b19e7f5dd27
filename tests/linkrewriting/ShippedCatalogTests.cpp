// The signed files shipped in the resource bundle must verify with the
// shipped keyset, both in the repository and in the bundle the build copies.
#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "ScourletCore/linkrewriting/PrivacyCatalogStore.h"
#include "ScourletCore/linkrewriting/PrivacyRedirector.h"
#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"

namespace scourlet {
namespace {

const ResourceBundle& sourceResources() {
    static const ResourceBundle bundle(std::filesystem::path(SCOURLET_SOURCE_DIR) / "ScourletCore" /
                                       "Resources");
    return bundle;
}

TEST(ShippedCatalogTest, VerifiesWithTheShippedKeyset) {
    const auto& bundled = PrivacyServicesCatalog::bundled();
    ASSERT_TRUE(bundled.has_value()) << "the bundle beside the tests holds no valid catalog";
    const auto fromSource = PrivacyServicesCatalog::loadShipped(sourceResources());
    ASSERT_TRUE(fromSource.has_value());
    EXPECT_EQ(*fromSource, *bundled);

    const auto& catalog = bundled->catalog();
    EXPECT_EQ(catalog.schema, 2u);
    // Offers instances from the time it was produced until its reviews expire.
    EXPECT_TRUE(bundled->fresh(catalog.generated));
    EXPECT_FALSE(bundled->choices(catalog.generated).empty());
    for (const auto& service : bundled->choices(catalog.generated)) {
        EXPECT_TRUE(bundled->eligible(service.id)) << service.id;
    }
    // With nothing installed, the store gives exactly this catalog.
    const PrivacyCatalogStore store(std::nullopt);
    EXPECT_EQ(store.current(), bundled);
}

TEST(ShippedCatalogTest, KeysetsParseAndHoldDifferentKeys) {
    const auto catalogKeys = sourceResources().dataForResource("privacy-services-keys", "json");
    const auto feedKeys = sourceResources().dataForResource("rule-feed-keys", "json");
    ASSERT_TRUE(catalogKeys && feedKeys);
    auto catalog = PrivacyServicesCatalog::parseKeyset(*catalogKeys);
    auto feed = PrivacyServicesCatalog::parseKeyset(*feedKeys);
    ASSERT_TRUE(catalog.ok() && feed.ok());
    ASSERT_FALSE(catalog->empty());
    ASSERT_FALSE(feed->empty());
    std::set<std::string> catalogValues;
    for (const auto& [id, key] : *catalog) {
        catalogValues.insert(key);
    }
    for (const auto& [id, key] : *feed) {
        EXPECT_FALSE(catalogValues.contains(key)) << id;
    }
}

TEST(ShippedCatalogTest, RedirectsThroughTheShippedCatalog) {
    const auto& bundled = PrivacyServicesCatalog::bundled();
    ASSERT_TRUE(bundled.has_value());
    const PrivacyRedirector redirector(bundled, bundled->catalog().generated);
    PrivacyRedirectSettings settings;
    settings.xRedirectChoice = XRedirectChoice::nitter;
    settings.nitterAutomatic = true;
    auto result = redirector.redirect("https://x.com/someone/status/1", settings);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->service, PrivacyRedirectService::xTwitter);
    EXPECT_NE(result->frontendHost, "x.com");
}

}  // namespace
}  // namespace scourlet

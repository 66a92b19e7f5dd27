#include "ScourletCore/linkrewriting/PrivacyServicesArchive.h"

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/FixtureSigner.h"

namespace scourlet {
namespace {

using testing::FixtureCatalog;
using testing::FixtureKey;
using testing::FixtureService;
using testing::kFixtureGenerated;
using testing::kFixtureReviewed;
using Verified = PrivacyServicesCatalog::Verified;

const FixtureKey& fixtureKey() {
    static const FixtureKey key = FixtureKey::generate("catalog-key");
    return key;
}

Verified verified(const FixtureCatalog& catalog) {
    const auto files = testing::signCatalog(catalog, fixtureKey());
    auto result = PrivacyServicesCatalog::verify(
        files.payload, files.envelope, testing::keysetText({&fixtureKey()}), std::nullopt);
    EXPECT_TRUE(result.ok());
    return *result;
}

FixtureCatalog mixedCatalog() {
    FixtureCatalog catalog;
    catalog.generated = kFixtureGenerated;
    auto paused = FixtureService::nitter("b-paused", kFixtureReviewed);
    paused.state = "paused";
    auto retired = FixtureService::nitter("c-retired", kFixtureReviewed - 50);
    retired.state = "retired";
    retired.family = "bird-makeup";
    auto other = FixtureService::nitter("d-other", kFixtureReviewed);
    other.family = "other";
    catalog.services = {FixtureService::nitter("a-active", kFixtureReviewed), paused, retired,
                        other};
    return catalog;
}

std::vector<std::string> ids(const std::vector<PrivacyServicesCatalog::Service>& services) {
    std::vector<std::string> out;
    for (const auto& service : services) {
        out.push_back(service.id);
    }
    return out;
}

TEST(PrivacyServicesArchiveTest, ListsEveryServiceSplitByFamily) {
    const PrivacyServicesArchive archive(verified(mixedCatalog()), kFixtureGenerated);
    ASSERT_TRUE(archive.isAvailable());
    EXPECT_EQ(ids(archive.services),
              (std::vector<std::string>{"a-active", "b-paused", "c-retired", "d-other"}));
    EXPECT_EQ(ids(archive.nitterServices()), (std::vector<std::string>{"a-active", "b-paused"}));
    EXPECT_EQ(ids(archive.otherServices()), (std::vector<std::string>{"c-retired", "d-other"}));
}

TEST(PrivacyServicesArchiveTest, UnavailableWhenAbsentFirstFormatOrOutOfDate) {
    EXPECT_FALSE(PrivacyServicesArchive(std::nullopt, kFixtureGenerated).isAvailable());

    FixtureCatalog first;
    first.schema = 1;
    first.generated = kFixtureGenerated;
    first.services = {FixtureService::xcancelFirstFormat(kFixtureReviewed)};
    EXPECT_FALSE(PrivacyServicesArchive(verified(first), kFixtureGenerated).isAvailable());

    const Verified catalog = verified(mixedCatalog());
    const std::uint64_t oldest = kFixtureReviewed - 50;
    const std::uint64_t window = PrivacyServicesArchive::maximumReviewAge;
    EXPECT_FALSE(PrivacyServicesArchive(catalog, kFixtureGenerated - 1).isAvailable());
    EXPECT_TRUE(PrivacyServicesArchive(catalog, oldest + window).isAvailable());
    EXPECT_FALSE(PrivacyServicesArchive(catalog, oldest + window + 1).isAvailable());
}

TEST(PrivacyServicesArchiveTest, DatesAreTakenInWholeSecondsAndNeverBefore1970) {
    using namespace std::chrono;
    const PrivacyCatalogStore store(
        std::nullopt,
        PrivacyCatalogStore::Trust{std::nullopt, verified(mixedCatalog()), "h.example"});
    const auto atGenerated = system_clock::time_point(seconds(kFixtureGenerated));
    EXPECT_TRUE(
        PrivacyServicesArchive::fromStore(store, atGenerated + milliseconds(999)).isAvailable());
    EXPECT_FALSE(
        PrivacyServicesArchive::fromStore(store, atGenerated - milliseconds(1)).isAvailable());
    EXPECT_FALSE(PrivacyServicesArchive::fromStore(store, system_clock::time_point(-seconds(1)))
                     .isAvailable());
    EXPECT_FALSE(
        PrivacyServicesArchive::bundled(system_clock::time_point(-milliseconds(1))).isAvailable());
}

TEST(PrivacyServicesArchiveTest, FixedTexts) {
    EXPECT_EQ(PrivacyServicesArchive::information,
              "The XCancel / Nitter / custom-instance choice uses only active services from the "
              "verified signed catalog. TwitterViewer remains a separate fixed choice.");
    EXPECT_EQ(PrivacyServicesArchive::fallback,
              "Paused, retired, unverified, or shape-incompatible services cannot route or "
              "silently replace either explicit choice.");
    EXPECT_EQ(PrivacyServicesArchive::unavailable,
              "Privacy Services unavailable. The catalog could not be verified, has no archive "
              "metadata, or its review is out of date. X/Twitter links remain on the cleaned "
              "canonical site.");
}

}  // namespace
}  // namespace scourlet

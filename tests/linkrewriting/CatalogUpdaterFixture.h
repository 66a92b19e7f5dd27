// A catalog updater over fixture keys, a fixture bundle and a scripted maker's
// host, with the manual executor, main queue and clock, for the updater's and
// the X redirect settings model's tests.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "ScourletCore/linkrewriting/PrivacyCatalogManifest.h"
#include "ScourletCore/linkrewriting/PrivacyCatalogStore.h"
#include "ScourletCore/linkrewriting/PrivacyCatalogUpdater.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/updateawareness/UpdateAwareness.h"
#include "support/FakeHttpTransport.h"
#include "support/FixtureSigner.h"
#include "support/ManualClock.h"
#include "support/ManualExecutor.h"
#include "support/ManualMainQueue.h"
#include "support/TempDir.h"

namespace scourlet::testing {

// The files the maker's host serves for one catalog version.
struct PublishedCatalog {
    std::string manifest;
    std::string payload;
    std::string signature;
    std::string payloadURL;
    std::string signatureURL;
};

class CatalogUpdaterFixture : public ::testing::Test {
public:  // the case tables of the tests script the host through it
    using Verified = PrivacyServicesCatalog::Verified;

    static constexpr std::uint64_t kNow = kFixtureGenerated + 100;

    TempDir temp;
    const FixtureKey key = FixtureKey::generate("catalog-key");
    const FixtureBundle resources{temp / "bundle"};
    const std::filesystem::path root = temp / "group" / "PrivacyServices";

    std::shared_ptr<FakeHttpTransport> http = std::make_shared<FakeHttpTransport>();
    std::shared_ptr<ManualExecutor> executor = std::make_shared<ManualExecutor>();
    std::shared_ptr<ManualMainQueue> queue = std::make_shared<ManualMainQueue>();
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>(
        std::chrono::system_clock::time_point(std::chrono::seconds(kNow)));
    std::shared_ptr<InMemoryUserDefaults> awarenessDefaults =
        std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<UpdateAwareness> awareness =
        std::make_shared<UpdateAwareness>(awarenessDefaults, clock);

    CatalogUpdaterFixture() { resources.writeKeyset(keysetText({&key})); }

    static FixtureCatalog catalog(std::uint64_t version) {
        FixtureCatalog c;
        c.version = version;
        c.generated = kFixtureGenerated;
        c.services = {FixtureService::nitter("alpha", kFixtureReviewed),
                      FixtureService::nitter("beta", kFixtureReviewed)};
        return c;
    }

    PublishedCatalog published(std::uint64_t version, std::string_view host = kFixtureHost) const {
        const auto files = signCatalog(catalog(version), key);
        PublishedCatalog p;
        p.payload = files.payload;
        p.signature = files.envelope;
        p.manifest = FixtureManifest::describing(files.payload, files.envelope, version,
                                                 kFixtureGenerated, host)
                         .text();
        p.payloadURL = PrivacyCatalogManifest::expectedAssetURL(version, "json", host);
        p.signatureURL = PrivacyCatalogManifest::expectedAssetURL(version, "sig", host);
        return p;
    }

    // Scripts the fake host to serve `p` as the current catalog.
    void serve(const PublishedCatalog& p) const {
        http->on(PrivacyCatalogManifest::endpoint(kFixtureHost), FakeHttpTransport::ok(p.manifest));
        http->on(p.payloadURL, FakeHttpTransport::ok(p.payload));
        http->on(p.signatureURL, FakeHttpTransport::ok(p.signature));
    }
    void serve(std::uint64_t version) const { serve(published(version)); }

    std::optional<Verified> verified(std::uint64_t version) const {
        const auto files = signCatalog(catalog(version), key);
        auto result = PrivacyServicesCatalog::verify(files.payload, files.envelope,
                                                     keysetText({&key}), std::nullopt);
        EXPECT_TRUE(result.ok());
        return *result;
    }

    PrivacyCatalogStore store(std::optional<Verified> shipped,
                              std::optional<std::filesystem::path> storeRoot) const {
        return PrivacyCatalogStore(
            std::move(storeRoot), PrivacyCatalogStore::Trust{resources.bundle(), std::move(shipped),
                                                             std::string(kFixtureHost)});
    }

    PrivacyCatalogUpdater::Environment environment() const {
        return {http, executor, queue, clock, awareness};
    }

    std::shared_ptr<PrivacyCatalogUpdater> makeUpdater(std::optional<Verified> shipped) const {
        return std::make_shared<PrivacyCatalogUpdater>(store(std::move(shipped), root),
                                                       environment());
    }

    // Runs the background work and then what it posted, until both are idle.
    void settle() const {
        while (executor->runAll() > 0 || queue->runAll() > 0) {
        }
    }

    static std::uint64_t versionOf(const std::optional<Verified>& catalog) {
        return catalog ? catalog->catalog().version : 0;
    }
};

}  // namespace scourlet::testing

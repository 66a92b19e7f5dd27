// An update controller over a recording rules updater, the fixture catalog
// host and the manual executor, main queue and clock, for the controller's and
// the update actions' tests.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ScourletCore/linkrewriting/PrivacyCatalogManifest.h"
#include "ScourletCore/updateawareness/RulesUpdaterInterface.h"
#include "ScourletCore/updateawareness/UpdateAwarenessController.h"
#include "ScourletCore/updateawareness/UpdateMetadata.h"
#include "linkrewriting/CatalogUpdaterFixture.h"

namespace scourlet::testing {

// Records what update awareness asks of the rules updater.
class RecordingRulesUpdater final : public RulesUpdaterInterface {
public:
    std::optional<std::string> installed;
    std::vector<std::chrono::system_clock::time_point> automaticRuns;
    int checks = 0;
    int installs = 0;

    std::optional<std::string> installedVersion() const override { return installed; }
    void performAutomaticUpdateIfDue(std::chrono::system_clock::time_point now) override {
        automaticRuns.push_back(now);
    }
    void checkForUpdates() override { ++checks; }
    void installAvailableUpdate() override { ++installs; }
};

class UpdateControllerFixture : public CatalogUpdaterFixture {
public:
    std::shared_ptr<RecordingRulesUpdater> rules = std::make_shared<RecordingRulesUpdater>();

    std::shared_ptr<UpdateAwarenessController> makeController(
        std::optional<Verified> shipped = std::nullopt, std::string version = "1.4",
        std::string build = "50") {
        return std::make_shared<UpdateAwarenessController>(
            rules, awareness,
            UpdateAwarenessController::Environment{
                http, executor, queue, clock, store(std::move(shipped), root), std::move(version),
                std::move(build), std::string(kFixtureHost)});
    }

    std::size_t requestsFor(const std::string& url) const {
        std::size_t count = 0;
        for (const auto& sent : http->sent()) {
            count += sent.url == url ? 1 : 0;
        }
        return count;
    }
    std::size_t desktopFetches() const {
        return requestsFor(UpdateMetadata::desktopURL(kFixtureHost));
    }
    std::size_t catalogChecks() const {
        return requestsFor(PrivacyCatalogManifest::endpoint(kFixtureHost));
    }

    // A desktop release file naming `version` and `build`.
    void serveDesktop(const std::string& version, std::int64_t build) const {
        http->on(
            UpdateMetadata::desktopURL(kFixtureHost),
            FakeHttpTransport::ok(R"({"product":"Scourlet","desktop":{"currentVersion":")" +
                                  version + R"(","currentBuild":)" + std::to_string(build) + "}}"));
    }

    const UpdateAwarenessState::Entry& entry(UpdateClass cls) const {
        return awareness->state().entries.at(cls);
    }
};

}  // namespace scourlet::testing

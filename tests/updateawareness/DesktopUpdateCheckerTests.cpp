// The desktop update check: its decision between version and build, one check
// at a time, what it reports to update awareness, and one run over a real
// HTTPS server.
#include "ScourletCore/updateawareness/DesktopUpdateChecker.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "ScourletCore/platform/CurlHttpTransport.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/UnixTime.h"
#include "ScourletCore/updateawareness/UpdateMetadata.h"
#include "support/FakeHttpTransport.h"
#include "support/ManualClock.h"
#include "support/ManualExecutor.h"
#include "support/ManualMainQueue.h"
#include "support/TempDir.h"
#include "support/TestCertificateAuthority.h"
#include "support/TestHttpsServer.h"

namespace scourlet {
namespace {

using testing::FakeHttpTransport;
using testing::ManualClock;
using testing::ManualExecutor;
using testing::ManualMainQueue;
using StatusKind = DesktopUpdateStatus::Kind;

constexpr const char* kHost = "updates.fixture.example";

TEST(DesktopUpdateCheckerTest, VersionDecidesFirstThenTheBuild) {
    struct Case {
        const char* release;
        std::optional<std::int64_t> releaseBuild;
        const char* running;
        std::int64_t runningBuild;
        bool available;
    };
    const Case cases[] = {
        {"1.5", {}, "1.4", 50, true},         // newer version
        {"1.5", 1, "1.4", 50, true},          // newer version, smaller build
        {"1.3", 900, "1.4", 50, false},       // older version, much greater build
        {"1.4", 51, "1.4", 50, true},         // same version, greater build
        {"1.4.0", 51, "1.4", 50, true},       // equal by padding
        {"1.4", 50, "1.4", 50, false},        // same build
        {"1.4", 49, "1.4", 50, false},        // smaller build
        {"1.4", {}, "1.4", 0, false},         // absent build counts as 0
        {"1.4", 1, "1.4", 0, true},           // the unset build of a local build
        {"1.4", 51, "1.4-local", 50, true},   // running version not comparable: build decides
        {"1.4", 50, "1.4-local", 50, false},  // ... and an equal build is no update
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.release) + " vs " + c.running);
        const DesktopReleaseInfo release{c.release, c.releaseBuild, {}, {}, {}};
        const auto status = DesktopUpdateChecker::decide(release, c.running, c.runningBuild);
        EXPECT_EQ(status, c.available ? DesktopUpdateStatus::available(release)
                                      : DesktopUpdateStatus::upToDate());
    }
}

class DesktopUpdateCheckerFixture : public ::testing::Test {
protected:
    std::unique_ptr<DesktopUpdateChecker> make() {
        return std::make_unique<DesktopUpdateChecker>(
            DesktopUpdateChecker::Environment{http, executor, queue, awareness, kHost});
    }
    void serve(std::string body) {
        http->on(UpdateMetadata::desktopURL(kHost), FakeHttpTransport::ok(std::move(body)));
    }
    void finish() {
        executor->runAll();
        queue->runAll();
    }
    std::string stored() const {
        const auto data = defaults->dataForKey(UpdateAwareness::kStorageKey);
        return data ? std::string(data->begin(), data->end()) : std::string();
    }

    std::shared_ptr<FakeHttpTransport> http = std::make_shared<FakeHttpTransport>();
    std::shared_ptr<ManualExecutor> executor = std::make_shared<ManualExecutor>();
    std::shared_ptr<ManualMainQueue> queue = std::make_shared<ManualMainQueue>();
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<UpdateAwareness> awareness = std::make_shared<UpdateAwareness>(defaults, clock);
};

constexpr const char* kNewer =
    R"({"product":"Scourlet","desktop":{"currentVersion":"1.5","currentBuild":60,)"
    R"("downloadUrl":"https://updates.fixture.example/download"}})";

TEST_F(DesktopUpdateCheckerFixture, ASecondCheckWhileOneRunsIsDropped) {
    serve(kNewer);
    const auto checker = make();
    EXPECT_EQ(checker->status(), DesktopUpdateStatus::idle());

    checker->check("1.4", 50);
    checker->check("1.4", 50);
    EXPECT_EQ(checker->status().kind(), StatusKind::checking);
    EXPECT_EQ(executor->submittedCount(), 1u);
    finish();
    EXPECT_EQ(http->sent().size(), 1u);
    EXPECT_EQ(checker->status().kind(), StatusKind::available);
}

TEST_F(DesktopUpdateCheckerFixture, ASuccessfulCheckIsReportedAsInstalledThenFound) {
    serve(kNewer);
    const auto checker = make();
    checker->check("1.4", 50);
    finish();

    const DesktopReleaseInfo release{"1.5", 60, {}, {}, "https://updates.fixture.example/download"};
    EXPECT_EQ(checker->status(), DesktopUpdateStatus::available(release));
    EXPECT_EQ(checker->latest(), release);
    const auto& entry = awareness->state().entries.at(UpdateClass::app);
    EXPECT_EQ(entry.installedVersion, "1.4");
    EXPECT_EQ(entry.installedBuild, 50);
    EXPECT_EQ(entry.availableVersion, "1.5");
    EXPECT_EQ(entry.availableBuild, 60);
    EXPECT_EQ(entry.lastSuccess, unixSeconds(clock->now()));
    EXPECT_EQ(stored(), awareness->state().encoded());

    // The same release once it is running: up to date, nothing available.
    checker->check("1.5", 60);
    finish();
    EXPECT_EQ(checker->status(), DesktopUpdateStatus::upToDate());
    EXPECT_EQ(awareness->state().entries.at(UpdateClass::app).availableVersion, std::nullopt);
}

TEST_F(DesktopUpdateCheckerFixture, AFailureClearsLatestAndLeavesTheStoreAlone) {
    serve(kNewer);
    const auto checker = make();
    checker->check("1.4", 50);
    finish();
    ASSERT_TRUE(checker->latest());
    const auto before = awareness->state();
    const std::string storedBefore = stored();

    const char* failures[] = {
        "",  // not JSON
        R"({"product":"Scourlet","desktop":{"currentVersion":"1.6","currentBuild":-1}})",
        R"({"product":"Scourlet","desktop":{"currentVersion":"1.6",)"
        R"("notesUrl":"https://evil.fixture.example/notes"}})",
    };
    for (const char* body : failures) {
        SCOPED_TRACE(body);
        serve(body);
        clock->advance(std::chrono::hours(1));
        checker->check("1.4", 50);
        EXPECT_EQ(checker->latest(), std::nullopt) << "cleared when the check starts";
        finish();
        EXPECT_EQ(checker->status(), DesktopUpdateStatus::failed());
        EXPECT_EQ(checker->latest(), std::nullopt);
        EXPECT_EQ(awareness->state(), before);
        EXPECT_EQ(stored(), storedBefore);
    }
    http->on(UpdateMetadata::desktopURL(kHost),
             FakeHttpTransport::failure(HttpError::Kind::connectionFailed));
    checker->check("1.4", 50);
    finish();
    EXPECT_EQ(checker->status(), DesktopUpdateStatus::failed());
    EXPECT_EQ(awareness->state(), before);
}

TEST_F(DesktopUpdateCheckerFixture, AnOutcomeArrivingAfterTheCheckerIsGoneIsDropped) {
    serve(kNewer);
    auto checker = make();
    checker->check("1.4", 50);
    executor->runAll();
    checker.reset();
    EXPECT_EQ(queue->runAll(), 1);
    EXPECT_TRUE(awareness->state().entries.empty());
}

// The whole check over libcurl against a local HTTPS server posing as the
// maker's host: a good release file, then one whose server declares more
// bytes than the limit.
TEST(DesktopUpdateCheckerHttpsTest, ChecksOverTheRealTransport) {
    testing::TempDir dir;
    testing::TestCertificateAuthority ca("Scourlet Test CA");
    ca.writePem(dir / "ca.pem");
    testing::TestHttpsServer server(ca.issue({kHost}));
    int served = 0;
    server.on(
        kHost, std::string(UpdateMetadata::kDesktopPath), [&](const auto&, httplib::Response& res) {
            ++served;
            const std::string body = served == 1 ? std::string(kNewer) : std::string(20000, ' ');
            res.set_content(body, "application/json");
        });
    server.start();
    CurlHttpTransport::Settings settings;
    settings.connectOverrides.push_back({"", 0, "127.0.0.1", server.port()});
    settings.caFile = (dir / "ca.pem").string();
    auto curl = CurlHttpTransport::withSettings(std::move(settings));
    ASSERT_TRUE(curl.ok());

    auto executor = std::make_shared<ManualExecutor>();
    auto queue = std::make_shared<ManualMainQueue>();
    auto awareness = std::make_shared<UpdateAwareness>(std::make_shared<InMemoryUserDefaults>(),
                                                       std::make_shared<ManualClock>());
    DesktopUpdateChecker checker(
        {std::make_shared<CurlHttpTransport>(std::move(*curl)), executor, queue, awareness, kHost});

    checker.check("1.4", 50);
    executor->runAll();
    queue->runAll();
    EXPECT_EQ(checker.status().kind(), StatusKind::available);
    EXPECT_EQ(awareness->state().entries.at(UpdateClass::app).availableVersion, "1.5");

    checker.check("1.4", 50);
    executor->runAll();
    queue->runAll();
    EXPECT_EQ(checker.status(), DesktopUpdateStatus::failed());
    EXPECT_EQ(served, 2);
}

}  // namespace
}  // namespace scourlet

// The update controller: what it records as installed, and which automatic
// checks foreground() starts at first launch, a minute later, a day later and
// with automatic checks off.
#include "ScourletCore/updateawareness/UpdateAwarenessController.h"

#include <chrono>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "updateawareness/UpdateControllerFixture.h"

namespace scourlet {
namespace {

using namespace std::chrono_literals;
using Controller = UpdateAwarenessController;

TEST(UpdateAwarenessControllerBuildTest, ReadsASignedDecimalOrGivesZero) {
    const std::pair<const char*, std::int64_t> cases[] = {
        {"52", 52},
        {"+52", 52},
        {"-3", -3},
        {"007", 7},
        {"9223372036854775807", INT64_MAX},
        {"9223372036854775808", 0},
        {"12a", 0},
        {"", 0},
        {"+", 0},
        {"-", 0},
        {"+-1", 0},
        {" 5", 0},
        {"5 ", 0},
        {"0x10", 0},
        {"1.5", 0},
    };
    for (const auto& [text, build] : cases) {
        EXPECT_EQ(Controller::parseBuild(text), build) << '"' << text << '"';
    }
}

class UpdateAwarenessControllerTest : public testing::UpdateControllerFixture {};

TEST_F(UpdateAwarenessControllerTest, CreationRecordsWhatIsInstalled) {
    rules->installed = "2026.2.1";
    const auto controller = makeController(verified(3), "1.4", "12a");
    EXPECT_EQ(controller->version(), "1.4");
    EXPECT_EQ(controller->build(), 0);
    EXPECT_EQ(entry(UpdateClass::app).installedVersion, "1.4");
    EXPECT_EQ(entry(UpdateClass::app).installedBuild, 0);
    EXPECT_EQ(entry(UpdateClass::rules).installedVersion, "2026.2.1");
    EXPECT_EQ(entry(UpdateClass::catalog).installedVersion, "3");
    EXPECT_EQ(executor->submittedCount(), 0u) << "creating starts no check";
}

TEST_F(UpdateAwarenessControllerTest, WithoutAVersionOrCatalogTheyReadZero) {
    const auto controller = makeController(std::nullopt, "", "7");
    EXPECT_EQ(controller->version(), "0");
    EXPECT_EQ(entry(UpdateClass::app).installedVersion, "0");
    EXPECT_EQ(entry(UpdateClass::catalog).installedVersion, "0");

    // So any catalog found later is newer.
    awareness->success(UpdateClass::catalog, "1", std::nullopt);
    EXPECT_EQ(entry(UpdateClass::catalog).availableVersion, "1");
}

TEST_F(UpdateAwarenessControllerTest, RulesWithoutAnInstalledVersionKeepTheirEntry) {
    awareness->installed(UpdateClass::rules, "2025.9", std::nullopt);
    const auto controller = makeController();
    controller->foreground();
    EXPECT_EQ(entry(UpdateClass::rules).installedVersion, "2025.9");

    rules->installed = "2026.1";
    controller->reconcile();
    EXPECT_EQ(entry(UpdateClass::rules).installedVersion, "2026.1");
}

TEST_F(UpdateAwarenessControllerTest, WithoutARulesUpdaterAppAndCatalogStillWork) {
    awareness->installed(UpdateClass::rules, "2025.9", std::nullopt);
    serveDesktop("1.5", 60);
    serve(2);
    rules.reset();  // a program that has no rules updater yet
    const auto controller = makeController(verified(1));
    controller->foreground();
    settle();
    EXPECT_EQ(desktopFetches(), 1u);
    EXPECT_EQ(catalogChecks(), 1u);
    EXPECT_EQ(entry(UpdateClass::rules).installedVersion, "2025.9") << "left as it was";
    EXPECT_EQ(entry(UpdateClass::app).availableVersion, "1.5");
    EXPECT_EQ(entry(UpdateClass::catalog).availableVersion, "2");
}

TEST_F(UpdateAwarenessControllerTest, ForegroundChecksAppAndCatalogAtMostDaily) {
    const auto controller = makeController(verified(1));
    struct Step {
        const char* name;
        std::chrono::seconds after;  // since the previous step
        std::size_t desktopFetches;  // in all, so far
        std::size_t catalogChecks;
    };
    const Step steps[] = {
        {"first launch", 0s, 1, 1},
        {"a minute later", 60s, 1, 1},
        {"just under a day after the first", 86400s - 61s, 1, 1},
        {"a day after the first", 1s, 2, 2},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const auto& step = steps[i];
        SCOPED_TRACE(step.name);
        clock->advance(step.after);
        controller->foreground();
        settle();
        EXPECT_EQ(desktopFetches(), step.desktopFetches);
        EXPECT_EQ(catalogChecks(), step.catalogChecks);
        ASSERT_EQ(rules->automaticRuns.size(), i + 1) << "the rules are asked every time";
        EXPECT_EQ(rules->automaticRuns.back(), clock->now());
    }
}

TEST_F(UpdateAwarenessControllerTest, ASecondForegroundBeforeTheFirstChecksEndStartsNothing) {
    const auto controller = makeController();
    controller->foreground();
    controller->foreground();
    EXPECT_EQ(executor->submittedCount(), 2u) << "one desktop and one catalog check";
    EXPECT_EQ(rules->automaticRuns.size(), 2u);
}

TEST_F(UpdateAwarenessControllerTest, WithChecksOffOnlyReconcilesAndAsksTheRules) {
    awareness->setAutomaticChecks(false);
    rules->installed = "2026.1";
    const auto controller = makeController();
    awareness->installed(UpdateClass::rules, "2025.1", std::nullopt);

    controller->foreground();
    settle();
    EXPECT_EQ(executor->submittedCount(), 0u);
    EXPECT_TRUE(http->sent().empty());
    EXPECT_EQ(rules->automaticRuns.size(), 1u);
    EXPECT_EQ(entry(UpdateClass::rules).installedVersion, "2026.1") << "reconciled";
    for (const auto cls : {UpdateClass::app, UpdateClass::catalog}) {
        EXPECT_EQ(entry(cls).lastAttempt, std::nullopt) << rawValue(cls);
    }
}

TEST_F(UpdateAwarenessControllerTest, CheckAppIsNotThrottledButNeverOverlaps) {
    serveDesktop("1.5", 60);
    const auto controller = makeController(std::nullopt, "1.4", "+50");
    controller->foreground();
    settle();
    const auto attempt = entry(UpdateClass::app).lastAttempt;
    ASSERT_EQ(desktopFetches(), 1u);

    controller->checkApp();
    controller->checkApp();
    settle();
    EXPECT_EQ(desktopFetches(), 2u) << "right after the automatic one; the second is dropped";
    EXPECT_EQ(entry(UpdateClass::app).lastAttempt, attempt) << "no attempt recorded";
    EXPECT_EQ(entry(UpdateClass::app).installedBuild, 50);
    EXPECT_EQ(controller->desktop()->status().kind(), DesktopUpdateStatus::Kind::available);
}

}  // namespace
}  // namespace scourlet

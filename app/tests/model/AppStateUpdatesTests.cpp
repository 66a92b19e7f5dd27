// The application's update wiring over a scripted maker's host: the checks
// that start after launch and on each activation, the update rows they lead
// to, and the update actions.
#include <memory>
#include <string>

#include <QCoreApplication>
#include <gtest/gtest.h>

#include "FakeAppServices.h"
#include "ScourletCore/config/AppConfiguration.h"
#include "ScourletCore/updateawareness/UpdateMetadata.h"
#include "ScourletCore/updateawareness/UpdateSurfaceRouter.h"
#include "app/shell/AppState.h"
#include "app/shell/TrayLabel.h"
#include "app/shell/WindowIds.h"
#include "updateawareness/UpdateControllerFixture.h"

namespace scourlet::app {
namespace {

using namespace std::chrono_literals;

class AppStateUpdatesTest : public scourlet::testing::UpdateControllerFixture {
protected:
    // An application over the fixture catalog store (shipping `shipped`) and host.
    std::unique_ptr<AppState> makeState(std::optional<Verified> shipped) {
        AppState::Services s = fakes.services();
        // The fixture's host, queues and clock.
        s.mainQueue = queue;
        s.executor = executor;
        s.clock = clock;
        s.transport = http;
        s.catalogStore = store(std::move(shipped), root);
        s.makerHost = std::string(scourlet::testing::kFixtureHost);
        return std::make_unique<AppState>(std::move(s));
    }

    static const UpdateAwarenessState::Entry& entryOf(const AppState& state, UpdateClass cls) {
        return state.updateAwareness()->state().entries.at(cls);
    }

    // A release newer than the running one.
    static std::string newerAppVersion() { return std::string(config::kAppVersion) + ".1"; }

    scourlet::testing::FakeAppServices fakes;
};

TEST_F(AppStateUpdatesTest, ChecksStartAfterLaunchAndOnActivationAtMostDaily) {
    serveDesktop(newerAppVersion(), 0);
    serve(2);
    const auto state = makeState(verified(1));
    ASSERT_TRUE(state->updates());
    EXPECT_EQ(state->updates()->awareness(), state->updateAwareness()) << "one store";
    EXPECT_EQ(state->updates()->catalog()->installed()->catalog().version, 1u);
    EXPECT_EQ(executor->submittedCount(), 0u) << "nothing before the event loop turns";

    int changes = 0;
    QObject::connect(state.get(), &AppState::changed, [&] { ++changes; });
    QCoreApplication::processEvents();  // the launch turn
    settle();
    EXPECT_EQ(desktopFetches(), 1u);
    EXPECT_EQ(catalogChecks(), 1u);
    QCoreApplication::processEvents();
    EXPECT_GT(changes, 0) << "what was found redraws the tray";

    // The tray menu opening a minute later: nothing is due yet.
    clock->advance(60s);
    state->applicationBecameActive();
    settle();
    EXPECT_EQ(desktopFetches(), 1u);
    EXPECT_EQ(catalogChecks(), 1u);

    clock->advance(24h);
    state->applicationBecameActive();
    settle();
    EXPECT_EQ(desktopFetches(), 2u);
    EXPECT_EQ(catalogChecks(), 2u);
}

TEST_F(AppStateUpdatesTest, WhatTheChecksFindBecomesUpdateRowsThatOpenTheirPane) {
    serveDesktop(newerAppVersion(), 0);
    serve(2);
    const auto state = makeState(verified(1));
    QCoreApplication::processEvents();
    settle();

    const auto rows = updateRows(state->updateAwareness()->state());
    ASSERT_EQ(rows.size(), 3u);  // app, catalog, separator
    EXPECT_EQ(rows[0].identifier, "update-row-app");
    EXPECT_EQ(rows[0].payload, kAdvancedPane);
    EXPECT_EQ(rows[1].identifier, "update-row-catalog");
    EXPECT_EQ(rows[1].text, "Privacy Services catalog 2 available");
    EXPECT_EQ(rows[1].payload, kPrivacyRedirectsPane);
}

TEST_F(AppStateUpdatesTest, UpdateActionsReachTheirObjects) {
    serveDesktop(newerAppVersion(), 0);
    serve(2);
    auto state = makeState(verified(1));
    const UpdateSurfaceRouter router(state->updates(), state->rulesUpdater());

    router.perform(UpdateSurfaceAction::checkApp);
    settle();
    EXPECT_EQ(desktopFetches(), 1u);
    EXPECT_EQ(state->updates()->desktop()->status().kind(),
              DesktopUpdateStatus::Kind::available);

    router.perform(UpdateSurfaceAction::checkCatalog);
    settle();
    ASSERT_EQ(state->updates()->catalog()->availableVersion(), 2u);
    router.perform(UpdateSurfaceAction::installCatalog);
    settle();
    EXPECT_EQ(versionOf(state->updates()->catalog()->store().current()), 2u);
    EXPECT_EQ(entryOf(*state, UpdateClass::catalog).installedVersion, "2");
    EXPECT_FALSE(entryOf(*state, UpdateClass::catalog).availableVersion.has_value())
        << "the catalog row goes away";

    // The rule check goes to the rules updater: one request for the stable
    // rules manifest on the same host.
    ASSERT_NE(state->rulesUpdater(), nullptr);
    const auto manifest = UpdateMetadata::stableRulesManifestURL(scourlet::testing::kFixtureHost);
    EXPECT_EQ(requestsFor(manifest), 0u);
    router.perform(UpdateSurfaceAction::checkRules);
    settle();
    EXPECT_EQ(requestsFor(manifest), 1u);
}

}  // namespace
}  // namespace scourlet::app

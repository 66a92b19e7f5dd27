#include "app/shell/AppState.h"

#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <gtest/gtest.h>

#include "FakeAppServices.h"
#include "ScourletCore/config/BuildSettings.h"
#include "ScourletCore/ruleupdates/SignedRuleStore.h"
#include "support/FixtureSigner.h"
#include "support/RuleFeedFixture.h"
#include "support/TempDir.h"

namespace scourlet::app {
namespace {

using namespace std::chrono_literals;

// The fake services make the Qt application the AppState posts to.
class AppStateTest : public ::testing::Test, public scourlet::testing::FakeAppServices {};

TEST_F(AppStateTest, StartsCleaningWithTheShippedRulesAndNoSharedSuite) {
    AppState state(services());  // no app-group store
    EXPECT_TRUE(state.monitor()->isStarted());
    EXPECT_FALSE(state.rulesEngine()->categories.get().empty());
    pasteboard->copy("https://example.com/page?utm_source=news&id=7");
    timers->advance(500ms);
    EXPECT_EQ(pasteboard->text().value_or(""), "https://example.com/page?id=7");
    EXPECT_EQ(state.monitor()->cleanedCountToday(), 1);
    EXPECT_TRUE(state.lastCleanRecorder()->current().has_value());
}

TEST_F(AppStateTest, ChangesArriveAsOneChangedOnALaterTurn) {
    AppState state(services());
    QCoreApplication::processEvents();  // the start-up turn
    std::vector<std::size_t> seen;
    QObject::connect(&state, &AppState::changed, [&] {
        seen.push_back(state.exceptionStore()->disabledDomains().size());
    });
    state.exceptionStore()->disable("a.example");
    state.exceptionStore()->disable("b.example");
    state.monitor()->setIsEnabled(false);
    EXPECT_TRUE(seen.empty());  // never inside the announcement
    QCoreApplication::processEvents();
    EXPECT_EQ(seen, (std::vector<std::size_t>{2}));  // one, and it sees the new values
    QCoreApplication::processEvents();
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(AppStateTest, StatisticsAloneDoNotAnnounce) {
    AppState state(services());
    QCoreApplication::processEvents();  // the start-up turn: the update check records versions
    QCoreApplication::processEvents();  // and the tray redraws for it
    int changes = 0;
    QObject::connect(&state, &AppState::changed, [&] { ++changes; });
    state.statsTracker()->setCollectionEnabled(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(changes, 0);
}

TEST_F(AppStateTest, AnActivationThatChangesNothingAnnouncesNothing) {
    AppState state(services());
    QCoreApplication::processEvents();  // the start-up turn: the update check records versions
    QCoreApplication::processEvents();  // and the tray redraws for it
    int changes = 0;
    QObject::connect(&state, &AppState::changed, [&] { ++changes; });
    // The tray menu opens: the update store is written again with what it holds.
    state.applicationBecameActive();
    QCoreApplication::processEvents();
    EXPECT_EQ(changes, 0);
    // A write that changes it still announces.
    state.updateAwareness()->setAutomaticChecks(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(changes, 1);
}

TEST_F(AppStateTest, ForegroundHooksRunAfterStartAndOnEveryActivation) {
    AppState state(services());
    int calls = 0;
    state.addForegroundHook([&] { ++calls; });
    EXPECT_EQ(calls, 0);  // not before the event loop turns
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 1);
    state.applicationBecameActive();
    state.applicationBecameActive();
    EXPECT_EQ(calls, 3);
}

TEST_F(AppStateTest, StopMonitoringEndsPolling) {
    AppState state(services());
    state.stopMonitoring();
    pasteboard->copy("https://example.com/?utm_source=x");
    timers->advance(1s);
    EXPECT_EQ(pasteboard->text().value_or(""), "https://example.com/?utm_source=x");
}

TEST_F(AppStateTest, LoadsTheVerifiedInstalledRulesAndReloadsCommandGuardOnANewVersion) {
    using scourlet::testing::RuleRelease;
    // A bundle whose trusted key the test holds, and an installed release
    // newer than the one it ships.
    const scourlet::testing::TempDir dir;
    const auto key = scourlet::testing::FixtureKey::generate("rules-test");
    std::filesystem::copy(SCOURLET_BUNDLE_DIR, dir / "bundle",
                          std::filesystem::copy_options::recursive);
    const RuleRelease shipped("2026.03.01.5", config::kMakerHost);
    const RuleRelease installed("2026.03.02.1", config::kMakerHost);
    scourlet::testing::writeFile(dir / "bundle" / "rule-feed-keys.json",
                                 scourlet::testing::keysetText({&key}));
    scourlet::testing::writeFile(dir / "bundle" / "manifest.json", shipped.manifestText());
    const SignedRuleFeed::Store store{dir / "installed", scourlet::testing::keysetText({&key})};
    ASSERT_TRUE(store.install(installed.signedRecord(key), shipped.version).ok());

    const ResourceBundle fixtureBundle(dir / "bundle");
    auto s = services();
    s.bundle = &fixtureBundle;
    s.installedRulesRoot = dir / "installed";
    int commandGuardLoads = 0;
    s.loadCommandGuard = [&] {
        ++commandGuardLoads;
        return std::make_shared<CommandGuard>();
    };
    AppState state(std::move(s));
    EXPECT_EQ(state.rulesUpdater()->installedVersion(), installed.version);
    ASSERT_EQ(state.rulesEngine()->compiledProviders().size(), 2u);
    EXPECT_EQ(state.rulesEngine()->compiledProviders()[0]->name, "Fixture clear_2026_03_02_1");

    QCoreApplication::processEvents();
    const int loadsAtStart = commandGuardLoads;
    const auto version = state.rulesUpdater()->installedCommandGuardVersion();
    state.rulesUpdater()->setInstalledCommandGuardVersion(version);  // the same: nothing
    QCoreApplication::processEvents();
    EXPECT_EQ(commandGuardLoads, loadsAtStart);
    state.rulesUpdater()->setInstalledCommandGuardVersion("2026.04.01.1");
    EXPECT_EQ(commandGuardLoads, loadsAtStart);  // on a later turn
    QCoreApplication::processEvents();
    EXPECT_EQ(commandGuardLoads, loadsAtStart + 1);
}

}  // namespace
}  // namespace scourlet::app

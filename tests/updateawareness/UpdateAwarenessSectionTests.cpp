// The update section's model: which rows show, with which texts, identifiers,
// tones and enabled states, for the states the four update objects can be in.
#include "ScourletCore/updateawareness/UpdateAwarenessSection.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/platform/UnixTime.h"
#include "ruleupdates/RulesUpdaterFixture.h"
#include "support/SecondsTimeText.h"
#include "updateawareness/UpdateControllerFixture.h"

namespace scourlet {
namespace {

using Section = UpdateAwarenessSection;
using Tone = Section::Tone;
using Phase = Section::RulesInput::Phase;
using Action = UpdateSurfaceAction;

const auto kTime = std::chrono::system_clock::time_point(std::chrono::seconds(1'800'000'000));

// Everything the section reads, in its state before any check.
struct World {
    UpdateAwarenessState awareness;
    DesktopUpdateStatus desktop;
    Section::RulesInput rules;
    Section::CatalogInput catalog{"Not checked", {}, false, {}};

    Section make() const { return Section::make({awareness, desktop, "1.4", 50, rules, catalog}); }
    World with(Section::RulesInput input) const {
        World copy = *this;
        copy.rules = std::move(input);
        return copy;
    }
};

DesktopReleaseInfo release(std::optional<std::string> notes, std::optional<std::string> download) {
    return {"1.5", 60, {}, std::move(notes), std::move(download)};
}

TEST(UpdateAwarenessSectionTest, BeforeAnyCheck) {
    const Section s = World{}.make();
    EXPECT_EQ(s.updates.toggleIdentifier, "update-setting-automatic-checks");
    EXPECT_TRUE(s.updates.automaticChecks);
    EXPECT_EQ(s.updates.privacyText, UpdateAwareness::privacyText);

    EXPECT_EQ(s.app.check, (Section::Button{"Check for App Updates", Action::checkApp,
                                            "update-action-checkApp", true}));
    EXPECT_EQ(s.app.status, (Section::Line{"No app update check has run yet.", "update-state-app",
                                           Tone::secondary}));
    EXPECT_EQ(s.app.installed.text, "Installed: Scourlet 1.4 (Build 50)");
    EXPECT_EQ(s.app.installed.identifier, "update-version-app");
    EXPECT_FALSE(s.app.downloadLink || s.app.releaseNotesLink || s.app.lastChecked);

    EXPECT_EQ(s.rules.status, (Section::Line{"No rule update check has run yet.",
                                             "update-state-rules", Tone::secondary}));
    EXPECT_EQ(s.rules.channel.choices, (std::vector<std::string>{"Stable", "Beta"}));
    EXPECT_EQ(s.rules.channelExplanation, Section::kStableExplanation);
    EXPECT_EQ(s.rules.cadence.choices,
              (std::vector<std::string>{"Never", "Daily", "Weekly", "Monthly"}));
    EXPECT_EQ(s.rules.cadence.selected, 0u);
    EXPECT_FALSE(s.rules.install || s.rules.installedVersion || s.rules.timestamp ||
                 s.rules.commandGuardNote);
    EXPECT_TRUE(s.rules.changes.empty());

    EXPECT_EQ(s.catalog.status,
              (Section::Line{"Not checked", "update-state-catalog", Tone::secondary}));
    EXPECT_EQ(s.catalog.version, (Section::Line{"No verified catalog is installed.",
                                                "update-version-catalog", Tone::secondary}));
    EXPECT_FALSE(s.catalog.install || s.catalog.lastChecked);
}

struct Case {
    const char* name;
    std::function<void(World&)> arrange;
    std::function<void(const Section&)> check;
};

TEST(UpdateAwarenessSectionTest, RowsFollowTheObjectsStates) {
    const Case cases[] = {
        {"app available without addresses",
         [](World& w) { w.desktop = DesktopUpdateStatus::available(release({}, {})); },
         [](const Section& s) {
             EXPECT_EQ(s.app.status, (Section::Line{"Update available: Scourlet 1.5 (Build 60).",
                                                    "update-state-app", Tone::accent}));
             EXPECT_FALSE(s.app.downloadLink);
             EXPECT_FALSE(s.app.releaseNotesLink);
         }},
        {"app available with both addresses",
         [](World& w) {
             w.desktop = DesktopUpdateStatus::available(
                 release("https://h.example/notes", "https://h.example/get"));
         },
         [](const Section& s) {
             EXPECT_EQ(s.app.downloadLink,
                       (Section::Link{"Download App Update", "https://h.example/get",
                                      "update-action-downloadApp"}));
             EXPECT_EQ(s.app.releaseNotesLink,
                       (Section::Link{"Release Notes", "https://h.example/notes", ""}));
         }},
        {"app checking", [](World& w) { w.desktop = DesktopUpdateStatus::checking(); },
         [](const Section& s) {
             EXPECT_FALSE(s.app.check.enabled);
             EXPECT_EQ(s.app.status.text, "Checking...");
             EXPECT_EQ(s.app.status.tone, Tone::secondary);
         }},
        {"app up to date",
         [](World& w) { w.desktop = DesktopUpdateStatus::upToDate(); },
         [](const Section& s) { EXPECT_EQ(s.app.status.tone, Tone::success); }},
        {"app failed", [](World& w) { w.desktop = DesktopUpdateStatus::failed(); },
         [](const Section& s) { EXPECT_EQ(s.app.status.tone, Tone::failure); }},
        {"app last success",
         [](World& w) { w.awareness.entries[UpdateClass::app].lastSuccess = unixSeconds(kTime); },
         [](const Section& s) {
             EXPECT_EQ(s.app.lastChecked,
                       (Section::Timestamp{"Last checked: ", kTime, "update-timestamp-app"}));
         }},
        {"a last success the clock cannot show",
         [](World& w) { w.awareness.entries[UpdateClass::catalog].lastSuccess = 1e300; },
         [](const Section& s) { EXPECT_FALSE(s.catalog.lastChecked); }},
        {"rules update available",
         [](World& w) {
             w.rules.phase = Phase::updateAvailable;
             w.rules.statusText = "Update available";
         },
         [](const Section& s) {
             EXPECT_EQ(s.rules.install,
                       (Section::Button{"Install Rule Update", Action::installRules,
                                        "update-action-installRules", true}));
             EXPECT_EQ(s.rules.status.tone, Tone::accent);
         }},
        {"rules installed and up to date are green",
         [](World& w) { w.rules.phase = Phase::installed; },
         [](const Section& s) {
             EXPECT_EQ(s.rules.status.tone, Tone::success);
             EXPECT_FALSE(s.rules.install);
         }},
        {"beta channel and weekly cadence",
         [](World& w) {
             w.rules.channel = Section::RulesInput::Channel::beta;
             w.rules.cadence = Section::RulesInput::Cadence::weekly;
         },
         [](const Section& s) {
             EXPECT_EQ(s.rules.channel.selected, 1u);
             EXPECT_EQ(s.rules.channelExplanation, Section::kBetaExplanation);
             EXPECT_EQ(s.rules.cadence.selected, 2u);
         }},
        {"notes and a Command Guard file",
         [](World& w) {
             w.rules.phase = Phase::updateAvailable;
             w.rules.availableNotes = {"Adds 12 parameters", "Fixes <b>x</b>"};
             w.rules.availableHasCommandGuardFile = true;
         },
         [](const Section& s) {
             EXPECT_EQ(s.rules.changes, (std::vector<std::string>{"\u2022 Adds 12 parameters",
                                                                  "\u2022 Fixes <b>x</b>"}));
             ASSERT_TRUE(s.rules.commandGuardNote);
             EXPECT_EQ(s.rules.commandGuardNote->text,
                       "This update includes Command Guard detection rules.");
         }},
        {"a Command Guard file without notes",
         [](World& w) { w.rules.availableHasCommandGuardFile = true; },
         [](const Section& s) {
             EXPECT_TRUE(s.rules.changes.empty());
             EXPECT_TRUE(s.rules.commandGuardNote);
         }},
        {"installed rule versions",
         [](World& w) {
             w.rules.installedVersion = "2026.3.1";
             w.rules.installedCommandGuardVersion = "7";
         },
         [](const Section& s) {
             EXPECT_EQ(s.rules.installedVersion,
                       (Section::Line{"Installed URL rules: 2026.3.1", "update-version-rules",
                                      Tone::secondary}));
             ASSERT_TRUE(s.rules.installedCommandGuardVersion);
             EXPECT_EQ(s.rules.installedCommandGuardVersion->text,
                       "Installed Command Guard rules: 7");
         }},
        {"rules update date wins over the last check",
         [](World& w) {
             w.rules.lastUpdateDate = kTime;
             w.awareness.entries[UpdateClass::rules].lastSuccess = unixSeconds(kTime) + 60;
         },
         [](const Section& s) {
             EXPECT_EQ(s.rules.timestamp,
                       (Section::Timestamp{"Last updated: ", kTime, "update-timestamp-rules"}));
         }},
        {"rules last check without an update date",
         [](World& w) { w.awareness.entries[UpdateClass::rules].lastSuccess = unixSeconds(kTime); },
         [](const Section& s) {
             EXPECT_EQ(s.rules.timestamp,
                       (Section::Timestamp{"Last checked: ", kTime, "update-timestamp-rules"}));
         }},
        {"catalog offer",
         [](World& w) {
             w.catalog = {"Verified version 8 ready to install", 8, false, 7};
         },
         [](const Section& s) {
             EXPECT_EQ(s.catalog.status.tone, Tone::accent);
             EXPECT_EQ(s.catalog.install,
                       (Section::Button{"Install Catalog Update", Action::installCatalog,
                                        "update-action-installCatalog", true}));
             EXPECT_EQ(s.catalog.version,
                       (Section::Line{"Installed catalog: Version 7", "update-version-catalog",
                                      Tone::secondary}));
         }},
        {"catalog Failed in any case is red even with an offer",
         [](World& w) {
             w.catalog = {"Install FAILED. Last verified catalog retained.", 8, false, 7};
         },
         [](const Section& s) { EXPECT_EQ(s.catalog.status.tone, Tone::failure); }},
        {"catalog rejected",
         [](World& w) {
             w.catalog.status = "Update rejected or unavailable. Last verified catalog retained.";
         },
         [](const Section& s) { EXPECT_EQ(s.catalog.status.tone, Tone::failure); }},
        {"catalog up to date and installed are green",
         [](World& w) { w.catalog.status = "Verified catalog is up to date"; },
         [](const Section& s) { EXPECT_EQ(s.catalog.status.tone, Tone::success); }},
        {"catalog installed", [](World& w) { w.catalog.status = "Verified catalog installed"; },
         [](const Section& s) { EXPECT_EQ(s.catalog.status.tone, Tone::success); }},
        {"catalog busy",
         [](World& w) {
             w.catalog = {"Checking signed catalog", 8, true, 7};
         },
         [](const Section& s) {
             EXPECT_FALSE(s.catalog.check.enabled);
             ASSERT_TRUE(s.catalog.install);
             EXPECT_FALSE(s.catalog.install->enabled);
         }},
        {"automatic checks off", [](World& w) { w.awareness.automaticChecks = false; },
         [](const Section& s) { EXPECT_FALSE(s.updates.automaticChecks); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        World world;
        c.arrange(world);
        c.check(world.make());
    }
}

TEST(UpdateAwarenessSectionTest, WhileTheRulesUpdaterWorksOnlyTheChannelStaysEnabled) {
    for (const Phase phase :
         {Phase::checkingManifest, Phase::downloading, Phase::validating, Phase::installing}) {
        World world;
        world.rules.phase = phase;
        const Section s = world.make();
        EXPECT_FALSE(s.rules.check.enabled);
        EXPECT_FALSE(s.rules.cadence.enabled);
        EXPECT_TRUE(s.rules.channel.enabled);
        EXPECT_EQ(s.rules.status.tone, Tone::secondary);
    }
    for (const Phase phase :
         {Phase::idle, Phase::updateAvailable, Phase::upToDate, Phase::installed, Phase::failed}) {
        World world;
        world.rules.phase = phase;
        const Section s = world.make();
        EXPECT_TRUE(s.rules.check.enabled);
        EXPECT_TRUE(s.rules.cadence.enabled);
    }
}

// The model read straight off a controller and its objects.
class UpdateAwarenessSectionControllerTest : public testing::UpdateControllerFixture {};

TEST_F(UpdateAwarenessSectionControllerTest, ReadsTheControllersObjects) {
    serve(2);
    const auto controller = makeController(verified(1), "1.4", "50");
    controller->catalog()->check();
    settle();

    const Section s = Section::make(*controller, Section::RulesInput{});
    EXPECT_EQ(s.app.installed.text, "Installed: Scourlet 1.4 (Build 50)");
    EXPECT_EQ(s.catalog.status.text, PrivacyCatalogUpdater::readyToInstall(2));
    EXPECT_EQ(s.catalog.version.text, "Installed catalog: Version 1");
    ASSERT_TRUE(s.catalog.install);
    ASSERT_TRUE(s.catalog.lastChecked);
    EXPECT_EQ(s.catalog.lastChecked->time, clock->now());
}

// The rules input read off a rules updater's published values.
class UpdateAwarenessSectionRulesTest : public testing::RulesUpdaterTest {};

RuleUpdateManifest manifestWith(std::vector<std::string> notes, bool commandGuard) {
    RuleUpdateManifest manifest;
    manifest.currentVersion = "2026.04.01.1";
    manifest.notes = std::move(notes);
    if (commandGuard) {
        manifest.files.push_back({RuleUpdateManifest::File::Kind::commandGuard,
                                  "cg.json",
                                  "https://rules.fixture.example/cg.json",
                                  std::string(64, 'a'),
                                  {}});
    }
    return manifest;
}

TEST_F(UpdateAwarenessSectionRulesTest, ReadsWhatTheRulesUpdaterPublishes) {
    using Channel = Section::RulesInput::Channel;
    using Cadence = Section::RulesInput::Cadence;
    const struct {
        const char* name;
        std::function<void(RulesUpdater&)> arrange;
        std::function<void(const Section::RulesInput&)> check;
    } cases[] = {
        {"fresh updater", [](RulesUpdater&) {},
         [](const Section::RulesInput& in) {
             EXPECT_EQ(in.channel, Channel::stable);
             EXPECT_EQ(in.cadence, Cadence::never);
             EXPECT_EQ(in.phase, Phase::idle);
             EXPECT_EQ(in.statusText, std::nullopt);
             EXPECT_TRUE(in.availableNotes.empty());
             EXPECT_FALSE(in.availableHasCommandGuardFile);
             EXPECT_EQ(in.lastUpdateDate, std::nullopt);
         }},
        {"beta and monthly",
         [](RulesUpdater& u) {
             u.setSelectedChannel(RuleUpdateChannel::beta);
             u.setAutomaticUpdateCadence(RuleUpdateCadence::monthly);
         },
         [](const Section::RulesInput& in) {
             EXPECT_EQ(in.channel, Channel::beta);
             EXPECT_EQ(in.cadence, Cadence::monthly);
         }},
        {"daily cadence",
         [](RulesUpdater& u) { u.setAutomaticUpdateCadence(RuleUpdateCadence::daily); },
         [](const Section::RulesInput& in) { EXPECT_EQ(in.cadence, Cadence::daily); }},
        {"downloading is busy",
         [](RulesUpdater& u) { u.setUpdateStatus(RulesUpdateStatus::downloading()); },
         [](const Section::RulesInput& in) {
             EXPECT_EQ(in.phase, Phase::downloading);
             EXPECT_TRUE(in.busy());
             EXPECT_EQ(in.statusText, "Downloading\u2026");
         }},
        {"a failure keeps its message",
         [](RulesUpdater& u) { u.setUpdateStatus(RulesUpdateStatus::failed("No network")); },
         [](const Section::RulesInput& in) {
             EXPECT_EQ(in.phase, Phase::failed);
             EXPECT_EQ(in.statusText, "No network");
         }},
        {"notes and Command Guard file of the available manifest, whatever the status",
         [](RulesUpdater& u) {
             u.setAvailableManifest(manifestWith({"One", "Two"}, true));
             u.setUpdateStatus(RulesUpdateStatus::upToDate("2026.03.01.5"));
         },
         [](const Section::RulesInput& in) {
             EXPECT_EQ(in.phase, Phase::upToDate);
             EXPECT_EQ(in.availableNotes, (std::vector<std::string>{"One", "Two"}));
             EXPECT_TRUE(in.availableHasCommandGuardFile);
         }},
        {"a manifest without Command Guard file",
         [](RulesUpdater& u) { u.setAvailableManifest(manifestWith({}, false)); },
         [](const Section::RulesInput& in) {
             EXPECT_TRUE(in.availableNotes.empty());
             EXPECT_FALSE(in.availableHasCommandGuardFile);
         }},
        {"installed versions and time",
         [](RulesUpdater& u) {
             u.setInstalledVersion("2026.03.01.9");
             u.setInstalledCommandGuardVersion("4");
             u.setLastUpdateDate(kTime);
         },
         [](const Section::RulesInput& in) {
             EXPECT_EQ(in.installedVersion, "2026.03.01.9");
             EXPECT_EQ(in.installedCommandGuardVersion, "4");
             EXPECT_EQ(in.lastUpdateDate, kTime);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto updater = makeUpdater();
        c.arrange(*updater);
        c.check(Section::RulesInput::of(*updater, testing::secondsTimeText));
    }
}

TEST_F(UpdateAwarenessSectionRulesTest, ACheckThatFindsAnUpdateOffersItsInstall) {
    testing::RuleRelease update("2026.04.01.1");
    update.manifest["notes"] = Json::array({"Adds fixture parameters"});
    serve(update);
    const auto updater = makeUpdater();
    updater->loadPreferringAppSupport();
    updater->checkForUpdates();
    EXPECT_FALSE(World{}.with(Section::RulesInput::of(*updater, testing::secondsTimeText)).make().rules.check.enabled);
    settle();

    const Section s = World{}.with(Section::RulesInput::of(*updater, testing::secondsTimeText)).make();
    EXPECT_EQ(s.rules.status, (Section::Line{"Rules update available: 2026.04.01.1",
                                             "update-state-rules", Tone::accent}));
    ASSERT_TRUE(s.rules.install);
    EXPECT_TRUE(s.rules.install->enabled);
    EXPECT_EQ(s.rules.changes, (std::vector<std::string>{"\u2022 Adds fixture parameters"}));
    EXPECT_FALSE(s.rules.commandGuardNote);
}

// A row picked in the section, written to the updater, is the row the
// section shows selected next, under the updater's own name for the value.
TEST_F(UpdateAwarenessSectionRulesTest, PickerRowsRoundTripThroughTheRulesUpdater) {
    const auto updater = makeUpdater();
    const Section initial = World{}.make();
    for (std::size_t row = 0; row < initial.rules.channel.choices.size(); ++row) {
        const auto channel = Section::RulesInput::channelAt(row);
        ASSERT_TRUE(channel);
        updater->setSelectedChannel(*channel);
        const Section s = World{}.with(Section::RulesInput::of(*updater, testing::secondsTimeText)).make();
        EXPECT_EQ(s.rules.channel.selected, row);
        EXPECT_EQ(s.rules.channel.choices[row], displayName(*channel));
    }
    for (std::size_t row = 0; row < initial.rules.cadence.choices.size(); ++row) {
        const auto cadence = Section::RulesInput::cadenceAt(row);
        ASSERT_TRUE(cadence);
        updater->setAutomaticUpdateCadence(*cadence);
        const Section s = World{}.with(Section::RulesInput::of(*updater, testing::secondsTimeText)).make();
        EXPECT_EQ(s.rules.cadence.selected, row);
        EXPECT_EQ(s.rules.cadence.choices[row], displayName(*cadence));
    }
    EXPECT_EQ(Section::RulesInput::channelAt(initial.rules.channel.choices.size()), std::nullopt);
    EXPECT_EQ(Section::RulesInput::cadenceAt(initial.rules.cadence.choices.size()), std::nullopt);
}

}  // namespace
}  // namespace scourlet

#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "app/settings/GeneralSettingsContent.h"
#include "app/settings/LaunchAtLogin.h"
#include "support/ScriptedLoginItem.h"

namespace scourlet::app {
namespace {

using namespace general_settings;

TEST(GeneralSettingsContentTest, ReportButtonsAndCaptionFollowTheLastClean) {
    struct Case {
        const char* name;
        bool hasResult;
        bool pending;
        bool enabled;
        std::string_view caption;
    };
    const Case cases[] = {
        {"no clean yet", false, false, false,
         "Clean a link first, then report anything we missed."},
        {"share link waiting", true, true, false, kPendingShareLinkCaption},
        {"waiting without a result", false, true, false, kPendingShareLinkCaption},
        {"ready", true, false, true, kReadyToReportCaption},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GeneralSettingsInputs inputs;
        inputs.hasLastCleanedResult = c.hasResult;
        inputs.pendingShareLinkResolution = c.pending;
        const GeneralSettingsContent shown = GeneralSettingsContent::from(inputs);
        EXPECT_EQ(shown.reportEnabled, c.enabled);
        EXPECT_EQ(shown.supportCaption, c.caption);
    }
}

TEST(GeneralSettingsContentTest, CommandGuardOffDisablesItsControlsAndKeepsTheirValues) {
    struct Case {
        bool guardOn;
        CommandRiskSeverity threshold;
        bool neutralize;
        bool warningSelected;
        bool dangerSelected;
    };
    const Case cases[] = {
        {true, CommandRiskSeverity::warning, false, true, false},
        {true, CommandRiskSeverity::danger, true, false, true},
        {true, CommandRiskSeverity::info, false, false, false},  // no segment of its own
        {false, CommandRiskSeverity::danger, true, false, true},
        {false, CommandRiskSeverity::info, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(rawValue(c.threshold)) + (c.guardOn ? " on" : " off"));
        GeneralSettingsInputs inputs;
        inputs.commandGuardEnabled = c.guardOn;
        inputs.threshold = c.threshold;
        inputs.neutralizeRiskyCommands = c.neutralize;
        const GeneralSettingsContent shown = GeneralSettingsContent::from(inputs);
        EXPECT_EQ(shown.commandGuard.on, c.guardOn);
        EXPECT_TRUE(shown.commandGuard.enabled);
        EXPECT_EQ(shown.thresholdEnabled, c.guardOn);
        EXPECT_EQ(shown.threshold[0].title, "Warning and danger");
        EXPECT_EQ(shown.threshold[0].value, CommandRiskSeverity::warning);
        EXPECT_EQ(shown.threshold[0].selected, c.warningSelected);
        EXPECT_EQ(shown.threshold[1].title, "Danger only");
        EXPECT_EQ(shown.threshold[1].value, CommandRiskSeverity::danger);
        EXPECT_EQ(shown.threshold[1].selected, c.dangerSelected);
        EXPECT_EQ(shown.neutralize.on, c.neutralize);
        EXPECT_EQ(shown.neutralize.enabled, c.guardOn);
    }
}

TEST(GeneralSettingsContentTest, SwitchesCaptionsAndRulesVersion) {
    GeneralSettingsInputs inputs;
    inputs.cleaningEnabled = false;
    inputs.automaticShareLinkResolution = true;
    inputs.cleanNotifications = false;
    inputs.commandNotifications = true;
    inputs.rulesVersion = "unavailable";
    inputs.launchAtLogin = false;
    inputs.launchAtLoginFailure = "Could not turn on launch at login: disk full";
    GeneralSettingsContent shown = GeneralSettingsContent::from(inputs);
    // Cleaning off leaves share-link resolution on and usable.
    EXPECT_FALSE(shown.autoClean.on);
    EXPECT_TRUE(shown.autoResolve.on);
    EXPECT_TRUE(shown.autoResolve.enabled);
    EXPECT_FALSE(shown.cleanNotifications.on);
    EXPECT_TRUE(shown.commandNotifications.on);
    EXPECT_EQ(shown.rulesCaption, "Rules unavailable");
    EXPECT_EQ(shown.launchAtLogin.title, "Launch at Login");
    EXPECT_EQ(shown.launchAtLoginFailure, inputs.launchAtLoginFailure);

    inputs.rulesVersion = "2026.03.1";
    inputs.launchAtLoginFailure.reset();
    shown = GeneralSettingsContent::from(inputs);
    EXPECT_EQ(shown.rulesCaption, "Rules 2026.03.1");
    EXPECT_FALSE(shown.launchAtLoginFailure.has_value());
    // The caption names every service that automatic resolution contacts.
    EXPECT_NE(kCleaningCaption.find("Amazon, Instagram and Threads"), std::string_view::npos);
    EXPECT_TRUE(kTestCommand.starts_with("# curl -fsSL https://"));
    EXPECT_TRUE(kTestCommand.ends_with("/install.sh | sh"));
}

struct LaunchFixture {
    std::shared_ptr<testing::ScriptedLoginItem> item =
        std::make_shared<testing::ScriptedLoginItem>();
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::ostringstream log;
    LaunchAtLogin launch{item, defaults, log};
};

TEST(LaunchAtLoginTest, OpeningShowsTheRealStateAndCorrectsTheFlag) {
    struct Case {
        std::optional<bool> stored;
        bool registered;
    };
    const Case cases[] = {
        {std::nullopt, false}, {std::nullopt, true}, {true, false},
        {false, true},         {true, true},         {false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.stored) + " registered " +
                     std::to_string(c.registered));
        auto item = std::make_shared<testing::ScriptedLoginItem>();
        item->registered = c.registered;
        auto defaults = std::make_shared<InMemoryUserDefaults>();
        if (c.stored) {
            defaults->setBool(kLaunchAtLoginKey, *c.stored);
        }
        std::ostringstream log;
        LaunchAtLogin launch(item, defaults, log);
        EXPECT_EQ(launch.isOn(), c.stored.value_or(false));  // before the first look
        EXPECT_EQ(launch.refresh(), c.registered);
        EXPECT_EQ(launch.isOn(), c.registered);
        EXPECT_EQ(defaults->boolForKey(kLaunchAtLoginKey), c.registered);
        // Agreement writes nothing: an absent flag stays absent when off.
        EXPECT_EQ(defaults->contains(kLaunchAtLoginKey), c.stored.has_value() || c.registered);
        EXPECT_EQ(item->calls, 0);
        EXPECT_EQ(log.str(), "");
    }
}

TEST(LaunchAtLoginTest, AFailedChangeGoesBackAndSaysWhy) {
    struct Case {
        const char* name;
        bool registered;  // before
        bool turnOn;
        bool fails;
        bool shown;  // the switch afterwards, and the stored flag
        std::optional<std::string> caption;
    };
    const Case cases[] = {
        {"on", false, true, false, true, std::nullopt},
        {"off", true, false, false, false, std::nullopt},
        {"on fails", false, true, true, false,
         "Could not turn on launch at login: Permission denied"},
        {"off fails", true, false, true, true,
         "Could not turn off launch at login: Permission denied"},
        {"on again while on", true, true, false, true, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LaunchFixture f;
        f.item->registered = c.registered;
        f.launch.refresh();
        if (c.fails) {
            f.item->registerFailure = "Permission denied";
            f.item->unregisterFailure = "Permission denied";
        }
        EXPECT_EQ(f.launch.set(c.turnOn), c.shown);
        EXPECT_EQ(f.launch.isOn(), c.shown);
        EXPECT_EQ(f.item->registered, c.shown);
        EXPECT_EQ(f.defaults->boolForKey(kLaunchAtLoginKey), c.shown);
        EXPECT_EQ(f.launch.failureCaption(), c.caption);
        EXPECT_EQ(f.log.str(), c.fails ? "Failed to set launch at login: Permission denied\n" : "");
    }
}

TEST(LaunchAtLoginTest, TheFailureCaptionLastsUntilTheNextSuccessOrOpening) {
    LaunchFixture f;
    f.item->registerFailure = "No space left on device";
    f.launch.set(true);
    ASSERT_TRUE(f.launch.failureCaption().has_value());
    f.launch.set(false);  // unregistering what is not registered succeeds
    EXPECT_FALSE(f.launch.failureCaption().has_value());
    f.launch.set(true);
    ASSERT_TRUE(f.launch.failureCaption().has_value());
    f.launch.refresh();
    EXPECT_FALSE(f.launch.failureCaption().has_value());
    EXPECT_FALSE(f.launch.isOn());
}

}  // namespace
}  // namespace scourlet::app

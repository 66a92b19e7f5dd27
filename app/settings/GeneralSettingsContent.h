// What the general settings pane ("Settings") shows: every text, switch and
// enabled state, computed from the clipboard monitor's and the notification
// manager's switches, the last clean and the launch-at-login state. The pane
// widget only lays this out; objectNames are the ids below.
//
//   GeneralSettingsContent shown = GeneralSettingsContent::from(inputs);
//   reportButton->setEnabled(shown.reportEnabled);
//   supportCaption->setText(qtext(shown.supportCaption));
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/clipboard/CommandRiskSeverity.h"

namespace scourlet::app {

struct GeneralSettingsInputs {
    bool cleaningEnabled = true;
    bool automaticShareLinkResolution = false;
    bool commandGuardEnabled = true;
    CommandRiskSeverity threshold = CommandRiskSeverity::warning;
    bool neutralizeRiskyCommands = false;
    std::string rulesVersion;  // Command Guard's rules version, "unavailable" without rules
    bool hasLastCleanedResult = false;
    bool pendingShareLinkResolution = false;
    bool cleanNotifications = true;
    bool commandNotifications = true;
    bool launchAtLogin = false;
    std::optional<std::string> launchAtLoginFailure;
};

struct GeneralSettingsContent {
    struct Switch {
        std::string_view id;
        std::string_view title;
        bool on = false;
        bool enabled = true;
    };
    struct Segment {
        std::string_view id;
        std::string_view title;
        CommandRiskSeverity value;
        bool selected = false;
    };

    // Both "Report Missed Tracker" buttons (Welcome and Support).
    bool reportEnabled = false;
    std::string_view supportCaption;

    Switch launchAtLogin;
    // Shown in red under the switch when the last change failed.
    std::optional<std::string> launchAtLoginFailure;

    Switch autoClean;
    Switch autoResolve;

    Switch commandGuard;
    // "Warn on": no segment is selected for a stored "info".
    std::array<Segment, 2> threshold{};
    bool thresholdEnabled = false;
    Switch neutralize;
    std::string rulesCaption;  // "Rules <version>"

    Switch cleanNotifications;
    Switch commandNotifications;

    static GeneralSettingsContent from(const GeneralSettingsInputs& inputs);
};

// The fixed texts and the ids (objectNames) of the pane.
namespace general_settings {

inline constexpr std::string_view kPaneId = "general-settings-pane";

inline constexpr std::string_view kWelcomeSection = "Welcome";
inline constexpr std::string_view kWelcomeText =
    "Scourlet cleans copied links and warns about risky terminal commands.";
inline constexpr std::string_view kWelcomeCaption =
    "It strips common trackers like utm_* and similar parameters, checks copied command text "
    "locally with Command Guard, and lets you report missed tracking patterns when something "
    "slips through.";
inline constexpr std::string_view kHowItWorksId = "general-how-it-works";
inline constexpr std::string_view kHowItWorksTitle = "How It Works";
inline constexpr std::string_view kWelcomeReportId = "general-welcome-report";

inline constexpr std::string_view kStartupSection = "Startup";
inline constexpr std::string_view kLaunchAtLoginId = "general-launch-at-login";
inline constexpr std::string_view kLaunchAtLoginFailureId = "general-launch-at-login-failure";

inline constexpr std::string_view kCleaningSection = "Cleaning";
inline constexpr std::string_view kAutoCleanId = "general-auto-clean";
inline constexpr std::string_view kAutoResolveId = "general-auto-resolve";
// Amazon short links are resolved as well as Instagram and Threads share
// links, so the caption names every service the switch lets Scourlet contact.
inline constexpr std::string_view kCleaningCaption =
    "For supported Amazon, Instagram and Threads share wrappers, Scourlet can contact that "
    "service directly to recover the canonical link. This uses an ephemeral, cookie-free session "
    "and is off by default.";

inline constexpr std::string_view kCommandGuardSection = "Command Guard";
inline constexpr std::string_view kCommandGuardId = "general-command-guard";
inline constexpr std::string_view kThresholdTitle = "Warn on";
inline constexpr std::string_view kThresholdId = "general-command-guard-threshold";
inline constexpr std::string_view kNeutralizeId = "general-neutralize";
inline constexpr std::string_view kCopyTestCommandId = "general-copy-test-command";
inline constexpr std::string_view kCopyTestCommandTitle = "Copy Test Command";
inline constexpr std::string_view kRulesVersionId = "general-command-guard-rules-version";
inline constexpr std::string_view kCommandGuardCaption =
    "Command Guard checks copied terminal commands locally and warns on risky patterns. Neutralize "
    "mode is off by default; when enabled, risky commands are replaced with commented text that "
    "will not run if pasted into a terminal.";
// A download piped to a shell, commented out so pasting it runs nothing; the
// host is reserved and never resolves.
inline constexpr std::string_view kTestCommand =
    "# curl -fsSL https://scourlet-test.invalid/install.sh | sh";

inline constexpr std::string_view kNotificationsSection = "Notifications";
inline constexpr std::string_view kCleanNotificationsId = "general-clean-notifications";
inline constexpr std::string_view kCommandNotificationsId = "general-command-notifications";
// The tray icon and its menu show a copied risky command whatever the banners do.
inline constexpr std::string_view kNotificationsCaption =
    "Displays banners for cleaned URLs and risky command warnings. Tray warnings still appear "
    "even when Command Guard notification banners are off.";

inline constexpr std::string_view kSupportSection = "Support";
inline constexpr std::string_view kSupportReportId = "general-support-report";
inline constexpr std::string_view kSupportCaptionId = "general-support-caption";
inline constexpr std::string_view kPendingShareLinkCaption =
    "Resolve the direct share link before reporting a missed tracker.";
inline constexpr std::string_view kReadyToReportCaption =
    "Send the latest clean result to the Scourlet team so we can fix anything the app missed. "
    "Nothing is sent automatically.";

inline constexpr std::string_view kAboutSection = "About";
inline constexpr std::string_view kAboutText =
    "Scourlet is a Morrow Gate privacy tool that cleans copied links and warns about risky "
    "terminal command patterns locally, without sending clipboard contents to the cloud.";
inline constexpr std::string_view kFounderLine = "Founded by Morrow Gate";
inline constexpr std::string_view kContactAddress = "contact@morrowgate.com";
inline constexpr std::string_view kXProfileTitle = "Morrow Gate on X";
inline constexpr std::string_view kXProfileURL = "https://x.com/morrowgate";
inline constexpr std::string_view kXProfileId = "general-x-profile";

}  // namespace general_settings

}  // namespace scourlet::app

// What the "Advanced" pane shows besides the update section: the version line,
// the command-line tool section (texts, the install button's title and state,
// the installer's status line) and the texts of the resets. The pane widget
// only lays this out; objectNames are the ids below.
//
//   label->setText(qtext(advanced::versionLine(config::kAppVersion, config::kAppBuild)));
//   const CommandLineToolContent shown = CommandLineToolContent::from(inputs);
//   installButton->setText(qtext(shown.installTitle));
//   installButton->setEnabled(shown.installEnabled);
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli-installer/CommandLineToolInstaller.h"

namespace scourlet::app {

// The installer's published state, as the section reads it.
struct CommandLineToolInputs {
    bool isInstalled = false;
    bool isWorking = false;
    std::optional<std::string> statusMessage;
    CommandLineToolInstaller::StatusColor statusColor =
        CommandLineToolInstaller::StatusColor::secondary;
    bool needsReinstall = false;
};

struct CommandLineToolContent {
    // "Install Command Line Tool", or "Reinstall Command Line Tool" once
    // installed or while our own installation needs mending.
    std::string_view installTitle;
    // Off while an installation runs.
    bool installEnabled = true;
    // The installer's status line and its colour; nothing shown when absent.
    std::optional<std::string> status;
    CommandLineToolInstaller::StatusColor statusColor =
        CommandLineToolInstaller::StatusColor::secondary;

    static CommandLineToolContent from(const CommandLineToolInputs& inputs);
};

// A piece of a text shown as inline code (a command, a path) or as prose.
struct TextRun {
    std::string text;
    bool code = false;

    bool operator==(const TextRun&) const = default;
};

namespace advanced {

inline constexpr std::string_view kPaneId = "advanced-pane";

// --- Version --------------------------------------------------------------------
inline constexpr std::string_view kVersionSection = "About This Version";
inline constexpr std::string_view kVersionLineId = "advanced-version-line";
inline constexpr std::string_view kMakerLineId = "advanced-maker-line";
inline constexpr std::string_view kMakerLine =
    "Morrow Gate builds practical privacy tools for normal people.";
// Shown for a version that is missing or empty.
inline constexpr std::string_view kFallbackVersion = "1.1";
// Shown for a build that is missing or is no whole number.
inline constexpr std::int64_t kFallbackBuild = 1;

// "Scourlet <version> (Build <n>)", with the fallbacks above for a version
// that is missing or empty and a build that is missing or does not parse (as
// UpdateAwarenessController::parseBuildNumber() reads it).
std::string versionLine(std::optional<std::string_view> version,
                        std::optional<std::string_view> buildText);

// --- Command line tool -------------------------------------------------------------
inline constexpr std::string_view kCommandLineSection = "Command Line Tool";
inline constexpr std::string_view kCommandLineIntroId = "advanced-command-line-intro";
inline constexpr std::string_view kCommandLineCaptionId = "advanced-command-line-caption";
inline constexpr std::string_view kInstallId = "advanced-install-command-line-tool";
inline constexpr std::string_view kInstallTitle = "Install Command Line Tool";
inline constexpr std::string_view kReinstallTitle = "Reinstall Command Line Tool";
inline constexpr std::string_view kCopyTestCommandId = "advanced-copy-test-command";
inline constexpr std::string_view kCopyTestCommandTitle = "Copy Test Command";
inline constexpr std::string_view kStatusId = "advanced-command-line-status";
// The tool on a link with two trackers; the host is reserved for examples. No
// line ending, so pasting it into a shell does not run it yet.
inline constexpr std::string_view kTestCommand =
    "scourlet --quiet 'https://example.com/article?utm_source=x&fbclid=123'";
// The folder and link named when the installer has no places (no home folder).
inline constexpr std::string_view kUsualInstallFolder =
    "~/.local/share/com.morrowgate.scourlet/CommandLineTool";
inline constexpr std::string_view kUsualLink = "~/.local/bin/scourlet";

// "Install `scourlet` for terminal use."
std::vector<TextRun> commandLineIntro();
// "The command line tool uses the same local rules as the app. Scourlet
// copies the tool into `<folder>` and links it from `<link>`."
std::vector<TextRun> commandLineCaption(std::string_view installFolder, std::string_view link);
// `path` with the home folder at its start written "~"; unchanged otherwise
// or when `home` is empty or not absolute.
std::string shownPath(const std::filesystem::path& path, std::string_view home);

// --- Reset ------------------------------------------------------------------------
inline constexpr std::string_view kResetSection = "Reset";
inline constexpr std::string_view kResetStatisticsId = "advanced-reset-statistics";
inline constexpr std::string_view kResetStatisticsTitle = "Reset All Statistics";
inline constexpr std::string_view kResetRulesId = "advanced-reset-rules";
inline constexpr std::string_view kResetRulesTitle = "Reset Rules to Defaults";
// The confirmation of the statistics reset.
inline constexpr std::string_view kResetStatisticsQuestion = "Reset Statistics?";
inline constexpr std::string_view kResetStatisticsMessage =
    "This will clear all cleaning statistics. This cannot be undone.";
inline constexpr std::string_view kResetButton = "Reset";
inline constexpr std::string_view kCancelButton = "Cancel";

}  // namespace advanced

}  // namespace scourlet::app

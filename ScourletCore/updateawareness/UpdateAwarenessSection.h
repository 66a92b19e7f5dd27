// What the update section of the settings shows, computed from update
// awareness, the desktop checker, the rules updater and the catalog updater:
// every row with its text, accessibility identifier, tone, and whether it is
// shown and enabled. A toolkit view only draws it, forwards button clicks to
// the UpdateSurfaceRouter, opens links in the browser and formats times with
// the user's locale.
//
//   auto section = UpdateAwarenessSection::make(
//       *controller, UpdateAwarenessSection::RulesInput::of(*rulesUpdater, formatTime));
//   label->setText(section.app.status.text);            // plain text, never rich text
//   paint(label, section.app.status.tone);
//   if (section.app.downloadLink) addLink(*section.app.downloadLink);
//
// A value computed afresh whenever one of the four objects announces a change;
// it holds no state of its own. The toggle writes
// UpdateAwareness::setAutomaticChecks(); the two pickers write the rules
// updater's channel and cadence (RulesInput::channelAt() and cadenceAt() turn
// a picker row into the updater's value).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/ruleupdates/RuleUpdateCadence.h"
#include "ScourletCore/ruleupdates/RuleUpdateChannel.h"
#include "ScourletCore/ruleupdates/RulesUpdateStatus.h"
#include "ScourletCore/updateawareness/DesktopUpdateStatus.h"
#include "ScourletCore/updateawareness/UpdateAwarenessState.h"
#include "ScourletCore/updateawareness/UpdateSurfaceAction.h"

namespace scourlet {

class PrivacyCatalogUpdater;
class RulesUpdater;
class UpdateAwarenessController;

struct UpdateAwarenessSection {
    // --- Inputs --------------------------------------------------------------

    // What the section shows of the rules updater, as the rules updater
    // publishes it.
    struct RulesInput {
        enum class Channel { stable, beta };
        enum class Cadence { never, daily, weekly, monthly };
        // The state of the last or running check or install.
        enum class Phase {
            idle,
            checkingManifest,
            downloading,
            validating,
            installing,
            updateAvailable,
            upToDate,
            installed,
            failed,
        };

        Channel channel = Channel::stable;
        Cadence cadence = Cadence::never;
        Phase phase = Phase::idle;
        std::optional<std::string> statusText;  // the status's display text
        // The notes of the available update's manifest, and whether it carries
        // Command Guard rules; empty and false without an available update.
        std::vector<std::string> availableNotes;
        bool availableHasCommandGuardFile = false;
        std::optional<std::string> installedVersion;
        std::optional<std::string> installedCommandGuardVersion;
        std::optional<std::chrono::system_clock::time_point> lastUpdateDate;

        // True in the phases where a check or an install runs.
        bool busy() const;

        // What the rules updater publishes now: its channel and cadence, the
        // kind and display text of its status, the notes and Command Guard
        // file of its available manifest (whatever the status), its installed
        // versions and its last install time. `formatTime` writes the install
        // time of the status text (see RulesUpdateStatus::displayText).
        static RulesInput of(const RulesUpdater& updater,
                             const RulesUpdateStatus::TimeFormatter& formatTime);

        // The rules updater's value for a row of the channel or cadence
        // picker (Picker::choices); nothing for a row that is not there.
        static std::optional<RuleUpdateChannel> channelAt(std::size_t row);
        static std::optional<RuleUpdateCadence> cadenceAt(std::size_t row);
    };

    // What the section shows of the catalog updater.
    struct CatalogInput {
        std::string status;
        std::optional<std::uint64_t> availableVersion;
        bool busy = false;
        std::optional<std::uint64_t> installedVersion;  // of the verified catalog in force

        static CatalogInput of(const PrivacyCatalogUpdater& updater);
    };

    struct Inputs {
        const UpdateAwarenessState& awareness;
        const DesktopUpdateStatus& desktopStatus;
        std::string_view version;  // of the running application
        std::int64_t build;
        const RulesInput& rules;
        const CatalogInput& catalog;
    };

    // --- Rows ----------------------------------------------------------------

    enum class Tone { secondary, accent, success, failure };

    struct Line {
        std::string text;
        std::string identifier;  // empty: none
        Tone tone = Tone::secondary;
        bool operator==(const Line&) const = default;
    };
    struct Button {
        std::string title;
        UpdateSurfaceAction action;
        std::string identifier;
        bool enabled = true;
        bool operator==(const Button&) const = default;
    };
    // Opens an https address on the maker's host in the browser.
    struct Link {
        std::string title;
        std::string url;
        std::string identifier;  // empty: none
        bool operator==(const Link&) const = default;
    };
    // `label` followed by `time` in the abbreviated date and short time style.
    struct Timestamp {
        std::string label;
        std::chrono::system_clock::time_point time;
        std::string identifier;
        bool operator==(const Timestamp&) const = default;
    };
    struct Picker {
        std::string title;
        std::vector<std::string> choices;
        std::size_t selected = 0;  // index into choices
        bool enabled = true;
        bool operator==(const Picker&) const = default;
    };

    struct UpdatesPart {
        std::string toggleTitle;
        std::string toggleIdentifier;
        bool automaticChecks = true;
        std::string privacyText;
    };
    struct AppPart {
        std::string explanation;
        Button check;
        std::optional<Link> downloadLink;
        Line status;
        Line installed;
        std::optional<Timestamp> lastChecked;
        std::optional<Link> releaseNotesLink;
    };
    struct RulesPart {
        std::string explanation;
        Picker channel;
        std::string channelExplanation;
        Picker cadence;
        std::string cadenceExplanation;
        Button check;
        std::optional<Button> install;
        Line status;
        std::string changesTitle;
        std::vector<std::string> changes;  // "• " + note; empty: no block
        std::optional<Line> installedVersion;
        std::optional<Line> installedCommandGuardVersion;
        std::optional<Timestamp> timestamp;
        std::optional<Line> commandGuardNote;  // in the tint colour
    };
    struct CatalogPart {
        std::string explanation;
        Button check;
        std::optional<Button> install;
        Line status;
        Line version;
        std::optional<Timestamp> lastChecked;
    };

    UpdatesPart updates;
    AppPart app;
    RulesPart rules;
    CatalogPart catalog;

    // --- Texts ---------------------------------------------------------------

    static constexpr std::string_view kUpdatesTitle = "Updates";
    static constexpr std::string_view kAppTitle = "App Updates";
    static constexpr std::string_view kRulesTitle = "Rule Updates";
    static constexpr std::string_view kCatalogTitle = "Privacy Services Catalog";
    static constexpr std::string_view kAutomaticChecksTitle = "Automatically check for updates";
    static constexpr std::string_view kAutomaticChecksIdentifier =
        "update-setting-automatic-checks";
    static constexpr std::string_view kAppExplanation =
        "App updates improve Scourlet itself, including its interface, cleaning behavior, and "
        "bundled features.";
    static constexpr std::string_view kCheckAppTitle = "Check for App Updates";
    static constexpr std::string_view kDownloadAppTitle = "Download App Update";
    static constexpr std::string_view kDownloadAppIdentifier = "update-action-downloadApp";
    static constexpr std::string_view kNoAppCheckText = "No app update check has run yet.";
    static constexpr std::string_view kReleaseNotesTitle = "Release Notes";
    static constexpr std::string_view kRulesExplanation =
        "Rule updates improve which tracking parameters and risky command patterns Scourlet "
        "recognizes. They do not replace the app.";
    static constexpr std::string_view kChannelTitle = "Rule channel";
    static constexpr std::string_view kStableExplanation =
        "Stable receives rules after beta soak and review.";
    static constexpr std::string_view kBetaExplanation =
        "Beta receives newly approved rules first. Use it if you want early coverage and are "
        "comfortable reporting misses or breakage.";
    static constexpr std::string_view kCadenceTitle = "Automatically install new rules:";
    static constexpr std::string_view kCadenceExplanation =
        "Off by default. When enabled, Scourlet checks the selected channel on this cadence and "
        "installs a newer verified bundle. No clipboard URLs, rules, settings, statistics, or "
        "device identifiers are sent.";
    static constexpr std::string_view kCheckRulesTitle = "Check for Rule Updates";
    static constexpr std::string_view kInstallRulesTitle = "Install Rule Update";
    static constexpr std::string_view kNoRulesCheckText = "No rule update check has run yet.";
    static constexpr std::string_view kChangesTitle = "Changes";
    static constexpr std::string_view kInstalledRulesPrefix = "Installed URL rules: ";
    static constexpr std::string_view kInstalledCommandGuardPrefix =
        "Installed Command Guard rules: ";
    static constexpr std::string_view kCommandGuardNote =
        "This update includes Command Guard detection rules.";
    static constexpr std::string_view kCatalogExplanation =
        "The Privacy Services catalog supplies and updates the local service definitions and "
        "redirect destinations shown in Privacy Services. Checking or installing it does not "
        "upload clipboard URLs, rules, settings, or device identifiers.";
    static constexpr std::string_view kCheckCatalogTitle = "Check for Catalog Updates";
    static constexpr std::string_view kInstallCatalogTitle = "Install Catalog Update";
    static constexpr std::string_view kNoCatalogText = "No verified catalog is installed.";
    static constexpr std::string_view kLastCheckedLabel = "Last checked: ";
    static constexpr std::string_view kLastUpdatedLabel = "Last updated: ";

    // --- Building ------------------------------------------------------------

    static UpdateAwarenessSection make(const Inputs& inputs);
    // The same from the controller's awareness, checker, catalog updater,
    // version and build, with the rules updater's values.
    static UpdateAwarenessSection make(const UpdateAwarenessController& controller,
                                       const RulesInput& rules);
};

}  // namespace scourlet

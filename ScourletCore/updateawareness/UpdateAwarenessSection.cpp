#include "ScourletCore/updateawareness/UpdateAwarenessSection.h"

#include <iterator>
#include <utility>

#include "ScourletCore/linkrewriting/PrivacyCatalogUpdater.h"
#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/UnixTime.h"
#include "ScourletCore/ruleupdates/RulesUpdater.h"
#include "ScourletCore/updateawareness/UpdateAwareness.h"
#include "ScourletCore/updateawareness/UpdateAwarenessController.h"

namespace scourlet {

namespace {

using Section = UpdateAwarenessSection;
using Tone = Section::Tone;
using Phase = Section::RulesInput::Phase;

std::string identifier(std::string_view kind, UpdateClass cls) {
    return "update-" + std::string(kind) + "-" + std::string(rawValue(cls));
}

Section::Button button(std::string_view title, UpdateSurfaceAction action, bool enabled) {
    return {std::string(title), action, accessibilityIdentifier(action), enabled};
}

// The "Last checked" line of a class, when its last success is a time the
// clock can show.
std::optional<Section::Timestamp> lastChecked(const UpdateAwarenessState& awareness,
                                              UpdateClass cls) {
    const auto entry = awareness.entries.find(cls);
    if (entry == awareness.entries.end() || !entry->second.lastSuccess) {
        return std::nullopt;
    }
    const auto time = timePointFromUnixSeconds(*entry->second.lastSuccess);
    if (!time) {
        return std::nullopt;
    }
    return Section::Timestamp{std::string(Section::kLastCheckedLabel), *time,
                              identifier("timestamp", cls)};
}

bool containsIgnoringCase(std::string_view text, std::string_view word) {
    return asciiLowercased(text).find(word) != std::string::npos;
}

// The catalog updater's status is coloured by its words; they are matched on
// the untranslated text, before any translation.
Tone catalogTone(const Section::CatalogInput& catalog) {
    if (containsIgnoringCase(catalog.status, "rejected") ||
        containsIgnoringCase(catalog.status, "failed")) {
        return Tone::failure;
    }
    if (catalog.availableVersion) {
        return Tone::accent;
    }
    if (containsIgnoringCase(catalog.status, "up to date") ||
        containsIgnoringCase(catalog.status, "installed")) {
        return Tone::success;
    }
    return Tone::secondary;
}

Tone desktopTone(DesktopUpdateStatus::Kind kind) {
    switch (kind) {
        case DesktopUpdateStatus::Kind::available:
            return Tone::accent;
        case DesktopUpdateStatus::Kind::upToDate:
            return Tone::success;
        case DesktopUpdateStatus::Kind::failed:
            return Tone::failure;
        case DesktopUpdateStatus::Kind::idle:
        case DesktopUpdateStatus::Kind::checking:
            return Tone::secondary;
    }
    return Tone::secondary;
}

Tone rulesTone(Phase phase) {
    switch (phase) {
        case Phase::updateAvailable:
            return Tone::accent;
        case Phase::upToDate:
        case Phase::installed:
            return Tone::success;
        case Phase::failed:
            return Tone::failure;
        default:
            return Tone::secondary;
    }
}

Section::AppPart appPart(const Section::Inputs& in) {
    const DesktopUpdateStatus& status = in.desktopStatus;
    const auto& release = status.release();  // set only while available
    Section::AppPart app;
    app.explanation = Section::kAppExplanation;
    app.check = button(Section::kCheckAppTitle, UpdateSurfaceAction::checkApp,
                       status.kind() != DesktopUpdateStatus::Kind::checking);
    if (release && release->downloadUrl) {
        app.downloadLink =
            Section::Link{std::string(Section::kDownloadAppTitle), *release->downloadUrl,
                          std::string(Section::kDownloadAppIdentifier)};
    }
    app.status = {status.displayText().value_or(std::string(Section::kNoAppCheckText)),
                  identifier("state", UpdateClass::app), desktopTone(status.kind())};
    app.installed = {"Installed: Scourlet " + std::string(in.version) + " (Build " +
                         std::to_string(in.build) + ")",
                     identifier("version", UpdateClass::app), Tone::secondary};
    app.lastChecked = lastChecked(in.awareness, UpdateClass::app);
    if (release && release->notesUrl) {
        app.releaseNotesLink =
            Section::Link{std::string(Section::kReleaseNotesTitle), *release->notesUrl, {}};
    }
    return app;
}

Section::RulesPart rulesPart(const Section::Inputs& in) {
    const Section::RulesInput& rules = in.rules;
    const bool busy = rules.busy();
    Section::RulesPart part;
    part.explanation = Section::kRulesExplanation;
    part.channel = {std::string(Section::kChannelTitle),
                    {"Stable", "Beta"},
                    static_cast<std::size_t>(rules.channel),
                    true};
    part.channelExplanation = rules.channel == Section::RulesInput::Channel::stable
                                  ? Section::kStableExplanation
                                  : Section::kBetaExplanation;
    part.cadence = {std::string(Section::kCadenceTitle),
                    {"Never", "Daily", "Weekly", "Monthly"},
                    static_cast<std::size_t>(rules.cadence),
                    !busy};
    part.cadenceExplanation = Section::kCadenceExplanation;
    part.check = button(Section::kCheckRulesTitle, UpdateSurfaceAction::checkRules, !busy);
    if (rules.phase == Phase::updateAvailable) {
        part.install =
            button(Section::kInstallRulesTitle, UpdateSurfaceAction::installRules, !busy);
    }
    part.status = {rules.statusText.value_or(std::string(Section::kNoRulesCheckText)),
                   identifier("state", UpdateClass::rules), rulesTone(rules.phase)};
    part.changesTitle = Section::kChangesTitle;
    for (const auto& note : rules.availableNotes) {
        part.changes.push_back("\u2022 " + note);
    }
    if (rules.installedVersion) {
        part.installedVersion =
            Section::Line{std::string(Section::kInstalledRulesPrefix) + *rules.installedVersion,
                          identifier("version", UpdateClass::rules), Tone::secondary};
    }
    if (rules.installedCommandGuardVersion) {
        part.installedCommandGuardVersion =
            Section::Line{std::string(Section::kInstalledCommandGuardPrefix) +
                              *rules.installedCommandGuardVersion,
                          {},
                          Tone::secondary};
    }
    if (rules.lastUpdateDate) {
        part.timestamp =
            Section::Timestamp{std::string(Section::kLastUpdatedLabel), *rules.lastUpdateDate,
                               identifier("timestamp", UpdateClass::rules)};
    } else {
        part.timestamp = lastChecked(in.awareness, UpdateClass::rules);
    }
    if (rules.availableHasCommandGuardFile) {
        part.commandGuardNote =
            Section::Line{std::string(Section::kCommandGuardNote), {}, Tone::accent};
    }
    return part;
}

Section::CatalogPart catalogPart(const Section::Inputs& in) {
    const Section::CatalogInput& catalog = in.catalog;
    Section::CatalogPart part;
    part.explanation = Section::kCatalogExplanation;
    part.check =
        button(Section::kCheckCatalogTitle, UpdateSurfaceAction::checkCatalog, !catalog.busy);
    if (catalog.availableVersion) {
        part.install = button(Section::kInstallCatalogTitle, UpdateSurfaceAction::installCatalog,
                              !catalog.busy);
    }
    part.status = {catalog.status, identifier("state", UpdateClass::catalog), catalogTone(catalog)};
    part.version = {catalog.installedVersion
                        ? "Installed catalog: Version " + std::to_string(*catalog.installedVersion)
                        : std::string(Section::kNoCatalogText),
                    identifier("version", UpdateClass::catalog), Tone::secondary};
    part.lastChecked = lastChecked(in.awareness, UpdateClass::catalog);
    return part;
}

}  // namespace

bool UpdateAwarenessSection::RulesInput::busy() const {
    return phase == Phase::checkingManifest || phase == Phase::downloading ||
           phase == Phase::validating || phase == Phase::installing;
}

UpdateAwarenessSection::RulesInput UpdateAwarenessSection::RulesInput::of(
    const RulesUpdater& updater, const RulesUpdateStatus::TimeFormatter& formatTime) {
    RulesInput input;
    input.channel =
        updater.selectedChannel() == RuleUpdateChannel::beta ? Channel::beta : Channel::stable;
    switch (updater.automaticUpdateCadence()) {
        case RuleUpdateCadence::never:
            input.cadence = Cadence::never;
            break;
        case RuleUpdateCadence::daily:
            input.cadence = Cadence::daily;
            break;
        case RuleUpdateCadence::weekly:
            input.cadence = Cadence::weekly;
            break;
        case RuleUpdateCadence::monthly:
            input.cadence = Cadence::monthly;
            break;
    }
    const RulesUpdateStatus& status = updater.updateStatus();
    using Kind = RulesUpdateStatus::Kind;
    switch (status.kind()) {
        case Kind::idle:
            input.phase = Phase::idle;
            break;
        case Kind::checkingManifest:
            input.phase = Phase::checkingManifest;
            break;
        case Kind::downloading:
            input.phase = Phase::downloading;
            break;
        case Kind::validating:
            input.phase = Phase::validating;
            break;
        case Kind::installing:
            input.phase = Phase::installing;
            break;
        case Kind::updateAvailable:
            input.phase = Phase::updateAvailable;
            break;
        case Kind::upToDate:
            input.phase = Phase::upToDate;
            break;
        case Kind::installed:
            input.phase = Phase::installed;
            break;
        case Kind::failed:
            input.phase = Phase::failed;
            break;
    }
    input.statusText = status.displayText(formatTime);
    if (const auto& manifest = updater.availableManifest()) {
        input.availableNotes = manifest->notes;
        input.availableHasCommandGuardFile = manifest->commandGuardFile().has_value();
    }
    input.installedVersion = updater.installedVersion();
    input.installedCommandGuardVersion = updater.installedCommandGuardVersion();
    input.lastUpdateDate = updater.lastUpdateDate();
    return input;
}

std::optional<RuleUpdateChannel> UpdateAwarenessSection::RulesInput::channelAt(std::size_t row) {
    constexpr RuleUpdateChannel rows[] = {RuleUpdateChannel::stable, RuleUpdateChannel::beta};
    if (row >= std::size(rows)) {
        return std::nullopt;
    }
    return rows[row];
}

std::optional<RuleUpdateCadence> UpdateAwarenessSection::RulesInput::cadenceAt(std::size_t row) {
    constexpr RuleUpdateCadence rows[] = {RuleUpdateCadence::never, RuleUpdateCadence::daily,
                                          RuleUpdateCadence::weekly, RuleUpdateCadence::monthly};
    if (row >= std::size(rows)) {
        return std::nullopt;
    }
    return rows[row];
}

UpdateAwarenessSection::CatalogInput UpdateAwarenessSection::CatalogInput::of(
    const PrivacyCatalogUpdater& updater) {
    CatalogInput input;
    input.status = updater.status();
    input.availableVersion = updater.availableVersion();
    input.busy = updater.busy();
    if (const auto& installed = updater.installed()) {
        input.installedVersion = installed->catalog().version;
    }
    return input;
}

UpdateAwarenessSection UpdateAwarenessSection::make(const Inputs& inputs) {
    UpdateAwarenessSection section;
    section.updates = {std::string(kAutomaticChecksTitle), std::string(kAutomaticChecksIdentifier),
                       inputs.awareness.automaticChecks, std::string(UpdateAwareness::privacyText)};
    section.app = appPart(inputs);
    section.rules = rulesPart(inputs);
    section.catalog = catalogPart(inputs);
    return section;
}

UpdateAwarenessSection UpdateAwarenessSection::make(const UpdateAwarenessController& controller,
                                                    const RulesInput& rules) {
    const CatalogInput catalog = CatalogInput::of(*controller.catalog());
    return make(Inputs{controller.awareness()->state(), controller.desktop()->status(),
                       controller.version(), controller.build(), rules, catalog});
}

}  // namespace scourlet

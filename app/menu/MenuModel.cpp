#include "app/menu/MenuModel.h"

#include "ScourletCore/clipboard/MissedTrackerReport.h"
#include "ScourletCore/linkrewriting/MapLinkTransformer.h"
#include "ScourletCore/linkrewriting/ShareLinkResolutionPolicy.h"
#include "ScourletCore/linkrewriting/WaybackLinkBuilder.h"
#include "ScourletCore/rules/DomainExceptionStore.h"
#include "ScourletCore/rules/LastCleanRecorder.h"
#include "app/menu/MenuText.h"
#include "app/shell/WindowIds.h"

namespace scourlet::app {

namespace {

MenuItem separator(std::string identifier) {
    MenuItem item;
    item.kind = MenuItem::Kind::separator;
    item.identifier = std::move(identifier);
    return item;
}

MenuItem action(std::string identifier, MenuCommand command, std::string text,
                std::string toolTip = {}) {
    MenuItem item;
    item.identifier = std::move(identifier);
    item.command = command;
    item.text = std::move(text);
    item.toolTip = std::move(toolTip);
    return item;
}

MenuItem copyRow(std::string identifier, std::string text, std::string payload,
                 std::string toolTip, std::string accessibleName = {}) {
    MenuItem item = action(std::move(identifier), MenuCommand::copyText, std::move(text),
                           std::move(toolTip));
    item.payload = std::move(payload);
    item.accessibleName = std::move(accessibleName);
    return item;
}

// A row whose choice opens the settings window. Without a settings window it
// still informs, but cannot be chosen.
MenuItem settingsRow(const MenuInputs& inputs, std::string identifier, std::string text,
                     std::string toolTip = {}) {
    MenuItem item =
        action(std::move(identifier), MenuCommand::openSettings, std::move(text), std::move(toolTip));
    if (!inputs.windows.settings) {
        item.command = MenuCommand::none;
        item.enabled = false;
    }
    return item;
}

MenuItem toggle(std::string identifier, MenuCommand command, std::string_view title, bool on,
                std::string toolTip = {}) {
    MenuItem item = action(std::move(identifier), command,
                           std::string(title) + (on ? ": ON" : ": OFF"), std::move(toolTip));
    item.kind = MenuItem::Kind::toggle;
    item.checked = on;
    return item;
}

void addCommandWarning(const MenuInputs& inputs, std::vector<MenuItem>& items) {
    const CommandRiskResult& risk = *inputs.commandRisk;
    const std::optional<CommandRiskFinding> primary = risk.primaryFinding();
    items.push_back(settingsRow(
        inputs, "menu-command-guard", "Command Guard: " + severityTitle(risk.severity),
        primary ? visibleText(primary->explanation) : "Review the last risky command warning"));
    if (primary) {
        items.push_back(settingsRow(inputs, "menu-command-reason",
                                    "Reason: " + menuText(primary->summary, kFindingTextLimit),
                                    visibleText(primary->explanation)));
        if (!primary->matchedText.empty()) {
            items.push_back(copyRow("menu-command-matched",
                                    "Matched: " + menuText(primary->matchedText, kFindingTextLimit),
                                    primary->matchedText, "Copy matched command fragment",
                                    "Matched command fragment"));
        }
    }
    items.push_back(copyRow("menu-copy-risky-command", "Copy Risky Command", risk.command,
                            "Copy the full command that triggered Command Guard", "Risky command"));
    if (inputs.windows.settings) {
        // The warning is shown in full on the Status pane only.
        MenuItem review = action("menu-review-command-warning", MenuCommand::openSettings,
                                 "Review Command Warning\u2026");
        review.payload = std::string(kStatusPane);
        items.push_back(std::move(review));
    }
    items.push_back(
        action("menu-clear-command-warning", MenuCommand::clearCommandWarning, "Clear Command Warning"));
    items.push_back(separator("menu-command-warning-separator"));
}

void addPendingResolution(const MenuInputs& inputs, std::vector<MenuItem>& items) {
    MenuItem resolve = action(
        "menu-resolve-share-link", MenuCommand::resolveShareLink,
        inputs.resolvingShareLink ? "Resolving Direct Link\u2026" : "Resolve Direct Link (Network)",
        "Contacts only recognized Amazon, Instagram or Threads hosts. Unsupported short-link "
        "shapes remain unresolved.");
    resolve.enabled = !inputs.resolvingShareLink && inputs.shareServiceSupported;
    items.push_back(std::move(resolve));
    if (!inputs.shareServiceSupported) {
        MenuItem note = action("menu-unsupported-share-link", MenuCommand::none,
                               "Unresolved short link: this shape is not supported for safe "
                               "resolution.");
        note.kind = MenuItem::Kind::text;
        note.enabled = false;
        items.push_back(std::move(note));
    }
    if (inputs.shareLinkResolutionError) {
        items.push_back(action(
            "menu-resolution-failed", MenuCommand::resolveShareLink,
            "Resolution failed: " + menuText(*inputs.shareLinkResolutionError, kResolutionErrorLimit),
            visibleText(*inputs.shareLinkResolutionError)));
    }
}

void addLastClean(const MenuInputs& inputs, std::vector<MenuItem>& items) {
    if (!inputs.lastCleanedResult) {
        if (inputs.lastSkippedDomain) {
            items.push_back(settingsRow(inputs, "menu-skipped-domain",
                                        "Left unchanged \u2014 cleaning is turned off for " +
                                            menuText(*inputs.lastSkippedDomain)));
            if (inputs.windows.settings) {
                MenuItem manage = action("menu-manage-exceptions", MenuCommand::openSettings,
                                         "Manage site exceptions\u2026");
                manage.payload = std::string(kExceptionsPane);
                items.push_back(std::move(manage));
            }
        } else {
            items.push_back(settingsRow(inputs, "menu-no-cleaned-links", "No cleaned links yet"));
        }
        return;
    }
    const CleanResult& result = *inputs.lastCleanedResult;
    const bool pending = inputs.pendingShareLink;
    const bool unchanged = result.originalURL == result.cleanedURL;

    items.push_back(settingsRow(inputs, "menu-last-clean-header",
                                pending     ? std::string("One more step needed")
                                : unchanged ? std::string("No changes needed")
                                            : std::string(kLastCleanHeader)));
    items.push_back(copyRow("menu-original-url",
                            "Original: " + menuText(result.originalURL, kURLRowLimit),
                            result.originalURL, "Copy original URL", "Original URL"));
    items.push_back(copyRow(
        "menu-cleaned-url",
        std::string(pending ? "Current URL (not resolved)" : "Cleaned") + ": " +
            menuText(result.cleanedURL, kURLRowLimit),
        result.cleanedURL, pending ? "Copy current unresolved URL" : "Copy cleaned URL",
        pending ? "Current URL, not resolved" : std::string(kCleanedURLAccessibleName)));
    if (inputs.waybackLink) {
        items.push_back(copyRow("menu-copy-wayback-link", "Copy Wayback Link", *inputs.waybackLink,
                                "Copies an Internet Archive lookup link. Scourlet does not submit "
                                "the page for archiving."));
    }
    items.push_back(settingsRow(inputs, "menu-last-clean-status",
                                pending     ? std::string(kNeedsActionStatus)
                                : unchanged ? std::string("This link already looks clean")
                                            : "Removed: " + menuText(removedSummary(result))));
    if (pending) {
        addPendingResolution(inputs, items);
    }
    if (!result.operations.empty()) {
        const CleanOperation& last = result.operations.back();
        items.push_back(settingsRow(inputs, "menu-last-operation",
                                    "Operation: " + operationDescription(last.kind),
                                    last.networkUsed
                                        ? "This step used the network after an explicit request."
                                        : "This step ran locally."));
    }
    if (inputs.mapLink) {
        MenuItem open = action("menu-open-map-link", MenuCommand::openMapLink,
                               inputs.mapLink->opensInAppleMaps ? "Open in Apple Maps (Local)"
                                                                : "Open in Google Maps (Local)",
                               "Converts the map link locally, then opens the selected mapping app.");
        open.payload = inputs.mapLink->url;
        items.push_back(std::move(open));
    }
    if (inputs.hasLastCleanRecord) {
        items.push_back(action("menu-restore-original", MenuCommand::restoreOriginal,
                               "Copy Original URL"));
    }
    if (inputs.lastCleanHost) {
        items.push_back(action("menu-disable-site", MenuCommand::disableCleaningForSite,
                               "Disable Cleaning for This Site", visibleText(*inputs.lastCleanHost)));
    }
    if (inputs.windows.report) {
        items.push_back(action("menu-report-missed-tracker", MenuCommand::openReport,
                               std::string(MissedTrackerReport::SharedCopy::reportActionLabel)));
    }
}

}  // namespace

std::string severityTitle(CommandRiskSeverity severity) {
    switch (severity) {
        case CommandRiskSeverity::info:
            return "Info";
        case CommandRiskSeverity::warning:
            return "Warning";
        case CommandRiskSeverity::danger:
            return "Danger";
    }
    return "Warning";
}

std::string operationDescription(CleanOperationKind kind) {
    switch (kind) {
        case CleanOperationKind::localParameterRemoval:
            return "cleaned locally";
        case CleanOperationKind::offlineWrapperUnwrap:
            return "unwrapped locally";
        case CleanOperationKind::offlinePathRewrite:
            return "rewritten locally";
        case CleanOperationKind::privacyRedirect:
            return "privacy rewrite locally";
        case CleanOperationKind::networkResolution:
            return "resolved using network";
        case CleanOperationKind::functionalTransformation:
            return "transformed locally";
    }
    return "cleaned locally";
}

std::string removedSummary(const CleanResult& result) {
    const auto& names = result.removedQueryParameters;
    if (!names.empty()) {
        constexpr std::size_t kShown = 3;
        std::string summary;
        for (std::size_t i = 0; i < names.size() && i < kShown; ++i) {
            if (i > 0) {
                summary += ", ";
            }
            summary += names[i];
        }
        if (names.size() > kShown) {
            summary += ", +" + std::to_string(names.size() - kShown) + " more";
        }
        return summary;
    }
    if (result.privacyRedirect) {
        return "privacy rewrite: " + result.privacyRedirect->originalHost + " \u2192 " +
               result.privacyRedirect->frontendHost;
    }
    if (result.originalURL == result.cleanedURL) {
        return "nothing";
    }
    return "redirect or path pattern";
}

std::vector<MenuItem> buildMenu(const MenuInputs& inputs) {
    std::vector<MenuItem> items;
    items.reserve(32);
    items.push_back(toggle("menu-auto-clean", MenuCommand::toggleAutoClean,
                           "Auto-Clean Copied Links", inputs.cleaningEnabled));
    items.push_back(toggle("menu-auto-resolve", MenuCommand::toggleAutoResolve,
                           "Auto-Resolve Share Links", inputs.automaticShareLinkResolution,
                           "Optional network resolution for supported Amazon, Instagram and "
                           "Threads share wrappers. Off by default."));
    items.push_back(action("menu-clean-now", MenuCommand::cleanNow, "Clean Copied Link Now"));
    items.push_back(separator("menu-switches-separator"));
    if (inputs.commandRisk) {
        addCommandWarning(inputs, items);
    }
    addLastClean(inputs, items);
    items.push_back(settingsRow(inputs, "menu-cleaned-today",
                                std::to_string(inputs.cleanedToday) + " URLs cleaned today"));
    items.push_back(separator("menu-windows-separator"));
    if (inputs.windows.welcome) {
        items.push_back(action("menu-welcome", MenuCommand::openWelcome,
                               "Welcome and How It Works\u2026"));
    }
    if (inputs.windows.settings) {
        items.push_back(action("menu-preferences", MenuCommand::openSettings, "Preferences\u2026"));
    }
    items.push_back(action("menu-quit", MenuCommand::quit, "Quit Scourlet"));
    return items;
}

MenuInputs menuInputs(const ClipboardMonitor& monitor, MenuWindows windows) {
    MenuInputs inputs;
    inputs.windows = windows;
    inputs.cleaningEnabled = monitor.isEnabled();
    inputs.automaticShareLinkResolution = monitor.automaticShareLinkResolutionEnabled();
    inputs.commandRisk = monitor.lastCommandRisk();
    inputs.lastCleanedResult = monitor.lastCleanedResult();
    inputs.lastSkippedDomain = monitor.lastSkippedDomain();
    inputs.pendingShareLink = monitor.hasPendingShareLinkResolution();
    inputs.resolvingShareLink = monitor.isResolvingShareLink();
    inputs.shareLinkResolutionError = monitor.shareLinkResolutionError();
    inputs.cleanedToday = monitor.cleanedCountToday();
    if (inputs.lastCleanedResult) {
        const std::string& cleaned = inputs.lastCleanedResult->cleanedURL;
        inputs.shareServiceSupported = ShareLinkResolutionPolicy::service(cleaned).has_value();
        inputs.waybackLink = WaybackLinkBuilder::lookupURL(cleaned);
        if (auto converted = MapLinkTransformer::transform(cleaned)) {
            inputs.mapLink = MenuMapLink{converted->target == MapLinkTarget::appleMaps,
                                         std::move(converted->url)};
        }
    }
    if (const auto& cleaner = monitor.urlCleaner()) {
        if (const auto& recorder = cleaner->lastCleanRecorder()) {
            if (const std::optional<LastCleanRecord> record = recorder->current()) {
                inputs.hasLastCleanRecord = true;
                if (cleaner->exceptionStore()) {
                    inputs.lastCleanHost = DomainExceptionStore::normalizedHost(record->originalURL);
                }
            }
        }
    }
    return inputs;
}

}  // namespace scourlet::app

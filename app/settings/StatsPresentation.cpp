#include "app/settings/StatsPresentation.h"

#include "ScourletCore/clipboard/StatsTracker.h"
#include "ScourletCore/rules/RuleCategoryType.h"

namespace scourlet::app {

StatsPresentation StatsPresentation::from(const StatsSnapshot& snapshot, StatsWindow window) {
    StatsPresentation shown;
    shown.totalCleaned = snapshot.totalCleaned;
    shown.totalCommandWarnings = snapshot.totalCommandWarnings;
    switch (window) {
    case StatsWindow::today:
        shown.cleanedLabel = "URLs cleaned today";
        shown.warningsLabel = "Command warnings today";
        break;
    case StatsWindow::sevenDays:
        shown.cleanedLabel = "URLs cleaned in the last 7 days";
        shown.warningsLabel = "Command warnings in the last 7 days";
        break;
    case StatsWindow::thirtyDays:
        shown.cleanedLabel = "URLs cleaned in the last 30 days";
        shown.warningsLabel = "Command warnings in the last 30 days";
        break;
    case StatsWindow::allTime:
        shown.cleanedLabel = "Total URLs cleaned";
        shown.warningsLabel = "Total command warnings";
        break;
    }
    for (RuleCategoryType category : allCases<RuleCategoryType>()) {
        shown.categories.push_back({std::string(rawValue(category)), std::string(icon(category)),
                                    std::to_string(snapshot.count(category)) + " params stripped"});
    }
    shown.commandGuard = {
        {"Danger", snapshot.count(CommandRiskSeverity::danger)},
        {"Warning", snapshot.count(CommandRiskSeverity::warning)},
        {"Info", snapshot.count(CommandRiskSeverity::info)},
        {"Neutralized", snapshot.neutralizedCommands},
    };
    for (TrackingImpactLevel level : StatsTracker::impactOrder) {
        shown.impact.emplace_back(std::string(rawValue(level)), snapshot.count(level));
    }
    for (TrackingImpactConfidence confidence : StatsTracker::confidenceOrder) {
        shown.confidence.emplace_back(std::string(rawValue(confidence)), snapshot.count(confidence));
    }
    return shown;
}

std::string_view StatsPresentation::collectionCaption(bool enabled) {
    return enabled ? "Keep on-device totals for cleaned links, Command Guard warnings, matched "
                     "tracking categories, and aggregate impact bands. Scourlet does not save a "
                     "per-link or per-command history."
                   : "Statistics collection is off. Scourlet will stop recording new cleanup and "
                     "Command Guard totals until you turn it back on.";
}

}  // namespace scourlet::app

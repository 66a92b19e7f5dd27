#include "app/settings/CommandRiskPresentation.h"

#include "app/settings/DisplayedText.h"

namespace scourlet::app {

CommandRiskPresentation CommandRiskPresentation::from(const CommandRiskResult& result) {
    CommandRiskPresentation shown;
    const bool danger = result.severity == CommandRiskSeverity::danger;
    shown.severityTitle = danger ? "Danger" : "Warning";
    shown.symbolName = danger ? "exclamationmark.triangle.fill" : "exclamationmark.triangle";
    shown.tint = danger ? Tint::red : Tint::orange;
    shown.rulesCaption = "Rules " + displayedText(result.rulesVersion);
    shown.command = displayedText(result.command);
    for (const CommandRiskFinding& finding : result.findings) {
        Finding entry{finding.id, displayedText(finding.summary), displayedText(finding.explanation),
                      std::nullopt};
        if (!finding.matchedText.empty()) {
            entry.matchedText = displayedText(finding.matchedText);
        }
        shown.findings.push_back(std::move(entry));
    }
    return shown;
}

}  // namespace scourlet::app

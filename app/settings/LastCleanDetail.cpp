#include "app/settings/LastCleanDetail.h"

#include "ScourletCore/clipboard/TrackingImpactAnalyzer.h"
#include "ScourletCore/linkrewriting/WaybackLinkBuilder.h"
#include "app/settings/DisplayedText.h"

namespace scourlet::app {

LastCleanDetail LastCleanDetail::from(const CleanResult& result, bool pendingShareResolution) {
    LastCleanDetail detail;
    detail.originalURL = displayedText(result.originalURL);
    detail.cleanedLabel = pendingShareResolution ? "Current URL (not resolved)" : "Cleaned";
    detail.cleanedURL = displayedText(result.cleanedURL);
    if (!result.removedQueryParameters.empty()) {
        std::string joined;
        for (const std::string& name : result.removedQueryParameters) {
            joined += (joined.empty() ? "" : ", ") + name;
        }
        detail.removedParameters = displayedText(joined);
    }
    if (result.privacyRedirect) {
        detail.privacyRewrite = displayedText(result.privacyRedirect->originalHost + " \u2192 " +
                                              result.privacyRedirect->frontendHost);
    }
    detail.copyButtonTitle = pendingShareResolution ? "Copy Current Link" : "Copy Clean Link";
    detail.copyText = result.cleanedURL;
    detail.waybackLink = WaybackLinkBuilder::lookupURL(result.cleanedURL);
    if (!pendingShareResolution) {
        const TrackingImpactReport report = TrackingImpactAnalyzer::analyze(result);
        Impact impact;
        for (TrackingCommercialCategory category : report.categories) {
            impact.categories.push_back(
                {std::string(id(category)), std::string(explanation(category))});
        }
        impact.level = std::string(rawValue(report.impactLevel));
        impact.summary = report.summary;
        impact.explanation = report.explanation;
        impact.confidence = "Confidence: " + std::string(rawValue(report.confidence));
        detail.impact = std::move(impact);
    }
    return detail;
}

}  // namespace scourlet::app

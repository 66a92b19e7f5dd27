// What the settings window shows of one clean: both links, the removed
// parameters, a privacy rewrite, the copy actions, and (once the link is
// final) the tracking categories and monetization impact of what was removed.
//
// Shown texts have invisible controls made visible (see DisplayedText.h); the
// copy texts are the exact links.
//
//   LastCleanDetail detail = LastCleanDetail::from(*monitor.lastCleanedResult(),
//                                                  monitor.hasPendingShareLinkResolution());
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/rules/CleanResult.h"

namespace scourlet::app {

// The maker's page that explains how tracking is classified; shared by the
// last-clean detail and the statistics pane.
inline constexpr std::string_view kTrackingMethodologyURL =
    "https://www.morrowgate.com/tracking-methodology.html";

struct LastCleanDetail {
    struct Category {
        std::string title;
        std::string explanation;
    };

    std::string originalURL;   // shown
    std::string cleanedLabel;  // "Cleaned" or "Current URL (not resolved)"
    std::string cleanedURL;    // shown
    std::optional<std::string> removedParameters;  // names joined by ", "
    std::optional<std::string> privacyRewrite;     // "<original host> → <front-end host>"
    std::string copyButtonTitle;                   // "Copy Clean Link" or "Copy Current Link"
    std::string copyText;                          // the exact cleaned link
    std::optional<std::string> waybackLink;        // exact, for "Copy Wayback Link"

    // Absent while a share link waits for resolution: it has not been judged yet.
    struct Impact {
        std::vector<Category> categories;
        std::string level;  // "Negligible" ... "Very High"
        std::string summary;
        std::string explanation;
        std::string confidence;  // "Confidence: High"
    };
    std::optional<Impact> impact;

    static LastCleanDetail from(const CleanResult& result, bool pendingShareResolution);
};

}  // namespace scourlet::app

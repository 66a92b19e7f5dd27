#include "ScourletCore/clipboard/internal/MissedTrackerReportPayload.h"

#include <string>

#include "ScourletCore/clipboard/internal/ReportDates.h"

namespace scourlet::internal {

nlohmann::json missedTrackerReportPayload(const MissedTrackerReport& report) {
    nlohmann::json categories = nlohmann::json::array();
    for (RuleCategoryType category : report.matchedCategories) {
        categories.push_back(std::string(rawValue(category)));
    }
    nlohmann::json payload = {
        {"schemaVersion", MissedTrackerReport::schemaVersion},
        {"platform", std::string(rawValue(report.platform))},
        {"osVersion", report.osVersion},
        {"appVersion", report.appVersion},
        {"surface", std::string(rawValue(report.surface))},
        {"originalURL", report.originalURL},
        {"cleanedURL", report.cleanedURL},
        {"wasModified", report.wasModified},
        {"paramsRemoved", report.paramsRemoved},
        {"matchedCategories", std::move(categories)},
        {"matchedRuleIDs", report.matchedRuleIDs},
        {"userNote", report.userNote},
        {"createdAt", internetDateTime(report.createdAt)},
    };
    if (report.appBuild) {
        payload["appBuild"] = *report.appBuild;
    }
    if (report.host) {
        payload["host"] = *report.host;
    }
    if (report.rulesProviderCount) {
        payload["rulesProviderCount"] = *report.rulesProviderCount;
    }
    if (report.rulesLastUpdate) {
        payload["rulesLastUpdate"] = internetDateTime(*report.rulesLastUpdate);
    }
    return payload;
}

}  // namespace scourlet::internal

#include "ScourletCore/clipboard/MissedTrackerReportBuilder.h"

#include <algorithm>
#include <utility>

#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/URLComponents.h"

namespace scourlet {

namespace {

std::optional<std::string> hostOf(const std::string& link) {
    // Lenient, as a pasted link often holds spaces or non-ASCII text that a
    // browser would escape; the host is still the host.
    const auto components = URLComponents::parseLenient(link);
    if (!components) {
        return std::nullopt;
    }
    auto host = components->host();
    if (!host || host->empty()) {
        return std::nullopt;
    }
    return host;
}

}  // namespace

MissedTrackerReport MissedTrackerReportBuilder::build(
    const CleanResult& result, MissedTrackerReport::Platform platform, std::string osVersion,
    std::string appVersion, std::optional<std::string> appBuild,
    MissedTrackerReport::Surface surface, const std::string& userNote,
    std::optional<std::int64_t> rulesProviderCount,
    std::optional<MissedTrackerReport::TimePoint> rulesLastUpdate,
    MissedTrackerReport::TimePoint now) {
    MissedTrackerReport report;
    report.platform = platform;
    report.osVersion = std::move(osVersion);
    report.appVersion = std::move(appVersion);
    report.appBuild = std::move(appBuild);
    report.surface = surface;
    report.originalURL = result.originalURL;
    report.cleanedURL = result.cleanedURL;
    report.host = hostOf(result.cleanedURL);
    if (!report.host) {
        report.host = hostOf(result.originalURL);
    }
    report.wasModified = result.wasModified();
    report.paramsRemoved = result.paramsRemoved;
    report.matchedCategories.assign(result.matchedCategories.begin(),
                                    result.matchedCategories.end());
    std::sort(report.matchedCategories.begin(), report.matchedCategories.end(),
              [](RuleCategoryType a, RuleCategoryType b) { return rawValue(a) < rawValue(b); });
    report.matchedRuleIDs = result.matchedRuleIDs;
    report.rulesProviderCount = rulesProviderCount;
    report.rulesLastUpdate = rulesLastUpdate;
    report.userNote = graphemeCount(userNote) > userNoteMaxLength
                          ? graphemePrefix(userNote, userNoteMaxLength)
                          : userNote;
    report.createdAt = now;
    return report;
}

}  // namespace scourlet

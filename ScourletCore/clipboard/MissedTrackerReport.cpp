#include "ScourletCore/clipboard/MissedTrackerReport.h"

#include <cstddef>
#include <string>
#include <utility>

#include "ScourletCore/clipboard/internal/MissedTrackerReportPayload.h"
#include "ScourletCore/clipboard/internal/ReportDates.h"
#include "ScourletCore/config/AppConfiguration.h"
#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/URLComponents.h"

namespace scourlet {

namespace {

constexpr std::size_t kSubjectHostMaxLength = 50;
constexpr std::string_view kNone = "[none]";

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            text += ", ";
        }
        text += items[i];
    }
    return text;
}

std::string rulesSummary(const MissedTrackerReport& report) {
    std::string summary;
    if (report.rulesProviderCount) {
        summary = "provider_count=" + std::to_string(*report.rulesProviderCount);
    }
    if (report.rulesLastUpdate) {
        if (!summary.empty()) {
            summary += ", ";
        }
        summary += "last_update=" + internal::utcDayKey(*report.rulesLastUpdate);
    }
    return summary.empty() ? std::string("[not available]") : summary;
}

MissedTrackerReport::TimePoint parseDate(const std::string& text, std::string_view key) {
    const auto time = internal::parseInternetDateTime(text);
    if (!time) {
        throwDecoding(key, "expected an ISO 8601 date-time in UTC");
    }
    return *time;
}

}  // namespace

std::string_view MissedTrackerReport::recipientEmail() {
    return config::kMissedTrackerReportAddress;
}

MissedTrackerReport::Platform MissedTrackerReport::currentPlatform() {
#if defined(__APPLE__)
    return Platform::macOS;
#elif defined(_WIN32)
    return Platform::windows;
#else
    return Platform::linux;
#endif
}

MissedTrackerReport::Surface MissedTrackerReport::extensionSurface() {
#if defined(__APPLE__)
    return Surface::safariExtension;
#else
    return Surface::browserExtension;
#endif
}

std::string MissedTrackerReport::subject() const {
    std::string hostPart;
    if (!host || host->empty()) {
        hostPart = "Unknown Host";
    } else if (graphemeCount(*host) > kSubjectHostMaxLength) {
        hostPart = graphemePrefix(*host, kSubjectHostMaxLength);
    } else {
        hostPart = *host;
    }
    std::string text = "[Missed Tracker] ";
    text += hostPart;
    text += " - ";
    text += rawValue(platform);
    text += " - v";
    text += appVersion;
    return text;
}

std::string MissedTrackerReport::bodyText() const {
    std::string version = appVersion;
    if (appBuild) {
        version += " (" + *appBuild + ")";
    }
    std::vector<std::string> categoryNames;
    categoryNames.reserve(matchedCategories.size());
    for (RuleCategoryType category : matchedCategories) {
        categoryNames.emplace_back(rawValue(category));
    }

    const std::pair<std::string_view, std::string> sections[] = {
        {"User note:", userNote.empty() ? std::string(kNone) : userNote},
        {"Original URL:", originalURL},
        {"Cleaned URL:", cleanedURL},
        {"Platform:", std::string(rawValue(platform)) + " " + osVersion},
        {config::kReportAppVersionLabel, std::move(version)},
        {"Surface:", std::string(rawValue(surface))},
        {"Params removed:", std::to_string(paramsRemoved)},
        {"Matched categories:", categoryNames.empty() ? std::string(kNone) : joined(categoryNames)},
        {"Matched rule IDs:", matchedRuleIDs.empty() ? std::string(kNone) : joined(matchedRuleIDs)},
        {"Rules summary:", rulesSummary(*this)},
        {"Created at:", internal::internetDateTime(createdAt)},
    };

    std::string body = "Scourlet Missed Tracker Report\n";
    for (const auto& [label, value] : sections) {
        body += '\n';
        body += label;
        body += '\n';
        body += value;
        body += '\n';
    }
    body += "\n--- machine-readable (do not edit) ---\n";
    body += jsonAppendix();
    return body;
}

std::string MissedTrackerReport::jsonAppendix() const {
    std::string json;
    try {
        // Strict on purpose: a field that is not UTF-8 cannot be written as
        // JSON without changing it, and a changed appendix would mislead.
        json = internal::missedTrackerReportPayload(*this).dump(2);
    } catch (const nlohmann::json::exception&) {
        return "{}";
    }
    return "```json\n" + json + "\n```";
}

std::optional<std::string> MissedTrackerReport::mailtoURL() const {
    URLComponents components;
    if (!components.setScheme("mailto") || !components.setPath(recipientEmail())) {
        return std::nullopt;
    }
    components.setQueryItems(std::vector<URLQueryItem>{
        {"subject", subject()},
        {"body", bodyText()},
    });
    return components.string();
}

bool MissedTrackerReport::mailtoIsSafeLength() const {
    // Every byte of the link is ASCII once encoded, so bytes count characters.
    const auto url = mailtoURL();
    return url && url->size() <= mailtoLengthLimit;
}

Json MissedTrackerReport::toJson() const {
    Json categories = Json::array();
    for (RuleCategoryType category : matchedCategories) {
        categories.push_back(std::string(scourlet::rawValue(category)));
    }
    Json json = Json::object();
    json["platform"] = std::string(scourlet::rawValue(platform));
    json["osVersion"] = osVersion;
    json["appVersion"] = appVersion;
    if (appBuild) {
        json["appBuild"] = *appBuild;
    }
    json["surface"] = std::string(scourlet::rawValue(surface));
    json["originalURL"] = originalURL;
    json["cleanedURL"] = cleanedURL;
    if (host) {
        json["host"] = *host;
    }
    json["wasModified"] = wasModified;
    json["paramsRemoved"] = paramsRemoved;
    json["matchedCategories"] = std::move(categories);
    json["matchedRuleIDs"] = matchedRuleIDs;
    if (rulesProviderCount) {
        json["rulesProviderCount"] = *rulesProviderCount;
    }
    if (rulesLastUpdate) {
        json["rulesLastUpdate"] = internal::preciseInternetDateTime(*rulesLastUpdate);
    }
    json["userNote"] = userNote;
    json["createdAt"] = internal::preciseInternetDateTime(createdAt);
    return json;
}

std::string MissedTrackerReport::encoded() const {
    return dumpJson(toJson());
}

MissedTrackerReport MissedTrackerReport::fromJson(const Json& json) {
    const JsonObjectReader reader(json, "MissedTrackerReport");
    MissedTrackerReport report;
    report.platform = reader.required<Platform>("platform");
    report.osVersion = reader.required<std::string>("osVersion");
    report.appVersion = reader.required<std::string>("appVersion");
    report.appBuild = reader.optional<std::string>("appBuild");
    report.surface = reader.required<Surface>("surface");
    report.originalURL = reader.required<std::string>("originalURL");
    report.cleanedURL = reader.required<std::string>("cleanedURL");
    report.host = reader.optional<std::string>("host");
    report.wasModified = reader.required<bool>("wasModified");
    report.paramsRemoved = reader.required<std::int64_t>("paramsRemoved");
    report.matchedCategories = reader.required<std::vector<RuleCategoryType>>("matchedCategories");
    report.matchedRuleIDs = reader.required<std::vector<std::string>>("matchedRuleIDs");
    report.rulesProviderCount = reader.optional<std::int64_t>("rulesProviderCount");
    if (const auto text = reader.optional<std::string>("rulesLastUpdate")) {
        report.rulesLastUpdate = parseDate(*text, "rulesLastUpdate");
    }
    report.userNote = reader.required<std::string>("userNote");
    report.createdAt = parseDate(reader.required<std::string>("createdAt"), "createdAt");
    return report;
}

Result<MissedTrackerReport, DecodingError> MissedTrackerReport::decode(std::string_view text) {
    return decodeJson(text, [](const Json& json) { return fromJson(json); });
}

}  // namespace scourlet

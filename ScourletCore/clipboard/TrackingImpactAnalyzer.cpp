#include "ScourletCore/clipboard/TrackingImpactAnalyzer.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "ScourletCore/platform/Text.h"

namespace scourlet {

namespace {

std::vector<TrackingCommercialCategory> ratedCategories(const CleanResult& result) {
    std::vector<TrackingCommercialCategory> categories;
    categories.reserve(result.matchedCategories.size());
    for (RuleCategoryType type : result.matchedCategories) {
        const TrackingCommercialCategory category = commercialCategory(type);
        if (std::find(categories.begin(), categories.end(), category) == categories.end()) {
            categories.push_back(category);
        }
    }
    // Heavier purposes first; equal weights by name, so the order never depends
    // on the order in which the rule categories matched.
    std::sort(categories.begin(), categories.end(),
              [](TrackingCommercialCategory a, TrackingCommercialCategory b) {
                  if (weight(a) != weight(b)) {
                      return weight(a) > weight(b);
                  }
                  return rawValue(a) < rawValue(b);
              });
    return categories;
}

std::string summaryText(std::int64_t signals,
                        const std::vector<TrackingCommercialCategory>& categories) {
    std::string text = "Removed " + std::to_string(signals) +
                       (signals == 1 ? " tracking signal" : " tracking signals");
    switch (categories.size()) {
        case 0:
            break;
        case 1:
            text += " tied to " + asciiLowercased(rawValue(categories[0]));
            break;
        case 2:
            text += " tied to " + asciiLowercased(rawValue(categories[0])) + " and " +
                    asciiLowercased(rawValue(categories[1]));
            break;
        default:
            text += " across " + asciiLowercased(rawValue(categories[0])) + ", " +
                    asciiLowercased(rawValue(categories[1])) + ", and other tracking categories";
            break;
    }
    text += '.';
    return text;
}

std::string explanationText(const std::vector<TrackingCommercialCategory>& categories) {
    if (categories.empty()) {
        return "These parameters can help companies measure, route, or correlate your click.";
    }
    std::string text(explanation(categories[0]));
    if (categories.size() >= 2) {
        text += ' ';
        text += explanation(categories[1]);
    }
    return text;
}

}  // namespace

TrackingImpactLevel TrackingImpactAnalyzer::impactLevel(std::int64_t score) {
    if (score <= 0) {
        return TrackingImpactLevel::negligible;
    }
    if (score <= 2) {
        return TrackingImpactLevel::low;
    }
    if (score <= 5) {
        return TrackingImpactLevel::medium;
    }
    if (score <= 8) {
        return TrackingImpactLevel::high;
    }
    return TrackingImpactLevel::veryHigh;
}

TrackingImpactReport TrackingImpactAnalyzer::analyze(const CleanResult& result) {
    TrackingImpactReport report;
    report.categories = ratedCategories(result);
    const std::int64_t removed = std::max<std::int64_t>(result.paramsRemoved, 0);

    std::int64_t score = 0;
    if (report.categories.empty()) {
        // A link that changed lost at least one signal, even when no rule with
        // a category did it (a wrapper or path rule, say).
        report.totalSignals = result.wasModified() ? std::max<std::int64_t>(removed, 1) : removed;
        score = std::min<std::int64_t>(report.totalSignals, 3);
        report.confidence = TrackingImpactConfidence::low;
    } else {
        report.totalSignals = removed;
        const auto count = static_cast<std::int64_t>(report.categories.size());
        score = std::clamp<std::int64_t>(report.totalSignals - count, 0, 3);
        report.confidence = TrackingImpactConfidence::high;
        for (TrackingCommercialCategory category : report.categories) {
            score += weight(category);
            report.confidence = std::min(report.confidence, defaultConfidence(category));
        }
    }
    report.impactLevel = impactLevel(score);
    report.summary = summaryText(report.totalSignals, report.categories);
    report.explanation = explanationText(report.categories);
    return report;
}

}  // namespace scourlet

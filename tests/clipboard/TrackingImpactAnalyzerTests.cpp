#include "ScourletCore/clipboard/TrackingImpactAnalyzer.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace scourlet {
namespace {

using Category = TrackingCommercialCategory;
using Level = TrackingImpactLevel;
using Confidence = TrackingImpactConfidence;

CleanResult resultWith(std::set<RuleCategoryType> categories, std::int64_t paramsRemoved,
                       bool changed = true) {
    CleanResult result;
    result.originalURL = "https://shop.example/item?tag=x&utm_source=y";
    result.cleanedURL = changed ? "https://shop.example/item" : result.originalURL;
    result.paramsRemoved = paramsRemoved;
    result.matchedCategories = std::move(categories);
    return result;
}

TEST(TrackingImpactAnalyzerTest, RatesSignalsCategoriesLevelConfidenceAndSummary) {
    struct Case {
        const char* name;
        CleanResult result;
        std::int64_t signals;
        std::vector<Category> categories;
        Level level;
        Confidence confidence;
        std::string summary;
    };
    using enum RuleCategoryType;
    const Case cases[] = {
        {"changed link, nothing matched",
         resultWith({}, 0),
         1,
         {},
         Level::low,
         Confidence::low,
         "Removed 1 tracking signal."},
        {"unchanged link",
         resultWith({}, 0, false),
         0,
         {},
         Level::negligible,
         Confidence::low,
         "Removed 0 tracking signals."},
        {"no category caps the score at 3",
         resultWith({}, 7),
         7,
         {},
         Level::medium,
         Confidence::low,
         "Removed 7 tracking signals."},
        {"negative count, changed link",
         resultWith({}, -3),
         1,
         {},
         Level::low,
         Confidence::low,
         "Removed 1 tracking signal."},
        {"negative count, unchanged link",
         resultWith({}, -3, false),
         0,
         {},
         Level::negligible,
         Confidence::low,
         "Removed 0 tracking signals."},
        {"referral and e-commerce count once",
         resultWith({referralMarketing, ecommerce}, 1),
         1,
         {Category::directCommercialAttribution},
         Level::medium,
         Confidence::high,
         "Removed 1 tracking signal tied to direct commercial attribution."},
        {"extra signals are capped at 3",
         resultWith({analytics}, 10),
         10,
         {Category::campaignAnalytics},
         Level::medium,
         Confidence::high,
         "Removed 10 tracking signals tied to campaign analytics."},
        {"two categories",
         resultWith({emailMarketing, advertising}, 2),
         2,
         {Category::adPlatformAttribution, Category::behavioralCorrelation},
         Level::high,
         Confidence::medium,
         "Removed 2 tracking signals tied to ad and social attribution and behavioral "
         "correlation."},
        {"three categories",
         resultWith({redirectUnwrapping, socialMedia, referralMarketing}, 1),
         1,
         {Category::directCommercialAttribution, Category::adPlatformAttribution,
          Category::redirectTracking},
         Level::veryHigh,
         Confidence::medium,
         "Removed 1 tracking signal across direct commercial attribution, ad and social "
         "attribution, and other tracking categories."},
        // Equal weights fall back to the names: behavioral before campaign.
        {"equal weights by name",
         resultWith({analytics, custom}, 0),
         0,
         {Category::behavioralCorrelation, Category::campaignAnalytics},
         Level::medium,
         Confidence::medium,
         "Removed 0 tracking signals tied to behavioral correlation and campaign analytics."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TrackingImpactReport report = TrackingImpactAnalyzer::analyze(c.result);
        EXPECT_EQ(report.totalSignals, c.signals);
        EXPECT_EQ(report.categories, c.categories);
        EXPECT_EQ(report.impactLevel, c.level);
        EXPECT_EQ(report.confidence, c.confidence);
        EXPECT_EQ(report.summary, c.summary);
    }
}

TEST(TrackingImpactAnalyzerTest, ExplanationNamesAtMostTheFirstTwoCategories) {
    using enum RuleCategoryType;
    EXPECT_EQ(trackingImpactReport(resultWith({}, 1)).explanation,
              "These parameters can help companies measure, route, or correlate your click.");
    EXPECT_EQ(trackingImpactReport(resultWith({analytics}, 1)).explanation,
              explanation(Category::campaignAnalytics));
    EXPECT_EQ(
        trackingImpactReport(resultWith({advertising, emailMarketing, analytics}, 3)).explanation,
        "Helps ad and social platforms connect a click to later behavior or conversions. "
        "Helps companies connect this click to a broader profile across emails, "
        "campaigns, or sessions.");
}

TEST(TrackingImpactAnalyzerTest, ScoreBands) {
    const std::pair<std::int64_t, Level> bands[] = {
        {-5, Level::negligible}, {0, Level::negligible}, {1, Level::low},  {2, Level::low},
        {3, Level::medium},      {5, Level::medium},     {6, Level::high}, {8, Level::high},
        {9, Level::veryHigh},    {40, Level::veryHigh},
    };
    for (const auto& [score, level] : bands) {
        EXPECT_EQ(TrackingImpactAnalyzer::impactLevel(score), level) << score;
    }
}

TEST(TrackingImpactAnalyzerTest, RawValuesRoundTripAndRejectOtherTexts) {
    for (Level level : allCases<TrackingImpactLevel>()) {
        EXPECT_EQ(enumFromRawValue<TrackingImpactLevel>(rawValue(level)), level);
    }
    for (Confidence confidence : allCases<TrackingImpactConfidence>()) {
        EXPECT_EQ(enumFromRawValue<TrackingImpactConfidence>(rawValue(confidence)), confidence);
    }
    for (Category category : allCases<TrackingCommercialCategory>()) {
        EXPECT_EQ(enumFromRawValue<TrackingCommercialCategory>(id(category)), category);
    }
    EXPECT_EQ(rawValue(Level::veryHigh), "Very High");
    EXPECT_FALSE(enumFromRawValue<TrackingImpactLevel>("very high"));
    EXPECT_FALSE(enumFromRawValue<TrackingImpactConfidence>("high"));
    EXPECT_FALSE(decodeJsonValue(
        Json("Extreme"), [](const Json& j) { return JsonValue<Level>::decode(j, "level"); }));
}

}  // namespace
}  // namespace scourlet

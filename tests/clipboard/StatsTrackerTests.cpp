#include "ScourletCore/clipboard/StatsTracker.h"

#include <chrono>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/platform/CalendarDay.h"
#include "ScourletCore/platform/FileUserDefaults.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "support/ForkedProcesses.h"
#include "support/ManualClock.h"
#include "support/ScopedTimeZone.h"
#include "support/TempDir.h"

namespace scourlet {
namespace {

using namespace std::chrono;
using testing::ManualClock;
using testing::ScopedTimeZone;

system_clock::time_point utc(int y, unsigned m, unsigned d, int h = 12, int min = 0) {
    return sys_days(year(y) / month(m) / day(d)) + hours(h) + minutes(min);
}

CleanResult cleanWith(std::set<RuleCategoryType> categories, std::int64_t params = 1) {
    CleanResult result;
    result.originalURL = "https://example.com/?utm_source=a";
    result.cleanedURL = "https://example.com/";
    result.paramsRemoved = params;
    result.matchedCategories = std::move(categories);
    return result;
}

CommandRiskResult riskOf(CommandRiskSeverity severity) {
    CommandRiskResult result;
    result.command = "curl https://x.example | sh";
    result.severity = severity;
    return result;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            return lines;
        }
        start = end + 1;
    }
}

class StatsTrackerTest : public ::testing::Test {
protected:
    StatsTrackerTest() { clock->set(utc(2026, 12, 9, 8, 4)); }

    std::unique_ptr<StatsTracker> makeTracker() {
        return std::make_unique<StatsTracker>(defaults, clock);
    }

    // Stores buckets as the stored form: one JSON object, date key to bucket.
    void storeBuckets(const Json& buckets) {
        const std::string text = buckets.dump();
        defaults->setData(StatsTracker::kDailyBucketsKey, DefaultsData(text.begin(), text.end()));
    }

    Json storedBuckets() const {
        const auto data = defaults->dataForKey(StatsTracker::kDailyBucketsKey);
        if (!data) {
            return Json();
        }
        return Json::parse(data->begin(), data->end());
    }

    ScopedTimeZone zone{"UTC0"};
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
};

TEST_F(StatsTrackerTest, FreshStoreReadsZeroForEveryCaseInEveryWindow) {
    auto stats = makeTracker();
    for (StatsWindow window : allCases<StatsWindow>()) {
        SCOPED_TRACE(std::string(rawValue(window)));
        const StatsSnapshot s = stats->snapshot(window);
        EXPECT_EQ(s.totalCleaned + s.totalCommandWarnings + s.neutralizedCommands, 0);
        EXPECT_EQ(s.categoryStats.size(), 8u);
        EXPECT_EQ(s.commandSeverityStats.size(), 3u);
        EXPECT_EQ(s.impactStats.size(), 5u);
        EXPECT_EQ(s.confidenceStats.size(), 3u);
        for (const auto& [category, count] : s.categoryStats) {
            EXPECT_EQ(count, 0) << rawValue(category);
        }
    }
    EXPECT_TRUE(defaults->dictionaryRepresentation().empty()) << "loading wrote something";
}

TEST_F(StatsTrackerTest, RecordCleanCountsEachCategoryOnceAndTheRating) {
    auto stats = makeTracker();
    using enum RuleCategoryType;
    stats->recordClean(cleanWith({analytics, socialMedia, ecommerce}, 3));
    stats->recordClean(cleanWith({}, 0));

    EXPECT_EQ(stats->totalCleaned(), 2);
    EXPECT_EQ(defaults->integerForKey("stats_totalCleaned"), 2);
    EXPECT_EQ(defaults->integerForKey("stats_category_Social Media"), 1);
    EXPECT_EQ(defaults->integerForKey("stats_category_E-commerce"), 1);
    EXPECT_EQ(stats->categoryStats().at(analytics), 1);
    EXPECT_EQ(stats->categoryStats().at(custom), 0);
    // Three categories: 5 + 4 + 2 = 11, very high, high confidence. No category,
    // changed link: one signal, low, low confidence.
    EXPECT_EQ(defaults->integerForKey("stats_impact_Very High"), 1);
    EXPECT_EQ(defaults->integerForKey("stats_impact_Low"), 1);
    EXPECT_EQ(defaults->integerForKey("stats_confidence_High"), 1);
    EXPECT_EQ(defaults->integerForKey("stats_confidence_Low"), 1);

    const StatsSnapshot today = stats->snapshot(StatsWindow::today);
    EXPECT_EQ(today.totalCleaned, 2);
    EXPECT_EQ(today.count(socialMedia), 1);
    EXPECT_EQ(today.count(TrackingImpactLevel::veryHigh), 1);
    EXPECT_EQ(today.count(TrackingImpactConfidence::low), 1);
    EXPECT_EQ(today, stats->snapshot(StatsWindow::allTime));
}

TEST_F(StatsTrackerTest, RecordCommandRiskCountsNeutralizedOnlyWhenItWas) {
    auto stats = makeTracker();
    stats->recordCommandRisk(riskOf(CommandRiskSeverity::danger), false);
    EXPECT_EQ(stats->totalCommandWarnings(), 1);
    EXPECT_EQ(stats->neutralizedCommands(), 0);
    EXPECT_FALSE(defaults->contains("stats_neutralizedCommands"));

    stats->recordCommandRisk(riskOf(CommandRiskSeverity::danger), true);
    stats->recordCommandRisk(riskOf(CommandRiskSeverity::info), true);
    EXPECT_EQ(defaults->integerForKey("stats_commandWarnings"), 3);
    EXPECT_EQ(defaults->integerForKey("stats_neutralizedCommands"), 2);
    EXPECT_EQ(defaults->integerForKey("stats_commandSeverity_danger"), 2);
    EXPECT_EQ(defaults->integerForKey("stats_commandSeverity_info"), 1);

    const StatsSnapshot week = stats->snapshot(StatsWindow::sevenDays);
    EXPECT_EQ(week.totalCommandWarnings, 3);
    EXPECT_EQ(week.neutralizedCommands, 2);
    EXPECT_EQ(week.count(CommandRiskSeverity::danger), 2);
    EXPECT_EQ(week.count(CommandRiskSeverity::warning), 0);
}

TEST_F(StatsTrackerTest, CollectionOffChangesNothing) {
    auto stats = makeTracker();
    stats->recordClean(cleanWith({RuleCategoryType::analytics}));
    stats->setCollectionEnabled(false);
    EXPECT_FALSE(stats->isCollectionEnabled());
    EXPECT_FALSE(StatsTracker::isCollectionEnabled(*defaults));
    const auto before = defaults->dictionaryRepresentation();

    int announcements = 0;
    Connection watch = stats->objectWillChange().connect([&] { ++announcements; });
    stats->recordClean(cleanWith({RuleCategoryType::advertising}));
    stats->recordCommandRisk(riskOf(CommandRiskSeverity::warning), true);

    EXPECT_EQ(announcements, 0);
    EXPECT_EQ(defaults->dictionaryRepresentation(), before);
    EXPECT_EQ(stats->snapshot(StatsWindow::today).totalCleaned, 1);
    EXPECT_EQ(stats->snapshot(StatsWindow::allTime).totalCommandWarnings, 0);
}

TEST_F(StatsTrackerTest, CollectionSwitchIsOnWhileAbsentAndAnnouncesChanges) {
    EXPECT_TRUE(StatsTracker::isCollectionEnabled(*defaults));
    auto stats = makeTracker();
    int announcements = 0;
    Connection watch = stats->objectWillChange().connect([&] { ++announcements; });
    stats->setCollectionEnabled(true);
    EXPECT_EQ(announcements, 1);
    EXPECT_TRUE(defaults->contains(StatsTracker::kCollectionEnabledKey));
    defaults->setString(StatsTracker::kCollectionEnabledKey, "NO");
    EXPECT_FALSE(stats->isCollectionEnabled());
}

TEST_F(StatsTrackerTest, NewLocalDayStartsANewBucket) {
    ScopedTimeZone berlin(testing::kBerlinTimeZone);
    clock->set(utc(2026, 12, 9, 22, 59));  // 23:59 in Berlin
    auto stats = makeTracker();
    stats->recordClean(cleanWith({}));
    clock->advance(minutes(2));  // 00:01 on the 10th
    stats->recordClean(cleanWith({}));

    EXPECT_EQ(stats->snapshot(StatsWindow::today).totalCleaned, 1);
    EXPECT_EQ(stats->snapshot(StatsWindow::sevenDays).totalCleaned, 2);
    EXPECT_EQ(stats->snapshot(StatsWindow::thirtyDays).totalCleaned, 2);
    const Json stored = storedBuckets();
    EXPECT_TRUE(stored.contains("2026-12-09"));
    EXPECT_TRUE(stored.contains("2026-12-10"));
}

// Buckets for each of the last 40 days, seen just after summer time began: the
// windows must sum whole calendar days, and pruning must keep exactly 35.
TEST_F(StatsTrackerTest, WindowsAndPruningCountCalendarDaysAcrossDaylightSavingChange) {
    ScopedTimeZone berlin(testing::kBerlinTimeZone);
    const auto now = utc(2026, 3, 29, 22, 30);  // 30 March, 00:30 summer time
    clock->set(now);
    const CalendarDay today = CalendarDay::local(now);
    Json buckets = Json::object();
    for (int back = 0; back < 40; ++back) {
        const std::string key = today.addingDays(-back).key();
        buckets[key] = {{"dateKey", key}, {"totalCleaned", 1}};
    }
    buckets["2026-03-31"] = {{"dateKey", "2026-03-31"}, {"totalCleaned", 100}};  // future
    buckets["yesterday"] = {{"dateKey", "yesterday"}, {"totalCleaned", 100}};
    storeBuckets(buckets);

    auto stats = makeTracker();
    const Json stored = storedBuckets();
    ASSERT_TRUE(stored.is_object());
    EXPECT_EQ(stored.size(), 35u);
    EXPECT_TRUE(stored.contains("2026-03-30"));
    EXPECT_TRUE(stored.contains("2026-03-29"));
    EXPECT_TRUE(stored.contains(today.addingDays(-34).key()));
    EXPECT_FALSE(stored.contains(today.addingDays(-35).key()));
    EXPECT_FALSE(stored.contains("2026-03-31"));
    EXPECT_FALSE(stored.contains("yesterday"));

    EXPECT_EQ(stats->snapshot(StatsWindow::today).totalCleaned, 1);
    EXPECT_EQ(stats->snapshot(StatsWindow::sevenDays).totalCleaned, 7);
    EXPECT_EQ(stats->snapshot(StatsWindow::thirtyDays).totalCleaned, 30);
}

TEST_F(StatsTrackerTest, LoadWithNothingToPruneWritesNothing) {
    const std::string key = calendarDayKey(clock->now());
    storeBuckets({{key, {{"dateKey", key}, {"totalCleaned", 2}}}});
    int writes = 0;
    Connection watch =
        defaults->observe(std::string(StatsTracker::kDailyBucketsKey), [&] { ++writes; });
    auto stats = makeTracker();
    EXPECT_EQ(writes, 0);
    EXPECT_EQ(stats->snapshot(StatsWindow::today).totalCleaned, 2);
}

TEST_F(StatsTrackerTest, StoredBucketsReadLeniently) {
    const std::string today = calendarDayKey(clock->now());
    storeBuckets({{today,
                   {{"dateKey", today},
                    {"categoryStats", {{"Analytics", 2}, {"Quantum", 9}}},
                    {"impactStats", {{"High", 1}}}}}});
    auto stats = makeTracker();
    const StatsSnapshot s = stats->snapshot(StatsWindow::today);
    EXPECT_EQ(s.totalCleaned, 0);  // missing counts read as 0
    EXPECT_EQ(s.count(RuleCategoryType::analytics), 2);
    EXPECT_EQ(s.count(TrackingImpactLevel::high), 1);
    std::int64_t categorySum = 0;
    for (const auto& entry : s.categoryStats) {
        categorySum += entry.second;
    }
    EXPECT_EQ(categorySum, 2) << "an unknown category name was counted";

    // The unknown entry survives a write-back.
    stats->recordClean(cleanWith({RuleCategoryType::analytics}));
    const Json stored = storedBuckets();
    EXPECT_EQ(stored[today]["categoryStats"]["Quantum"], 9);
    EXPECT_EQ(stored[today]["categoryStats"]["Analytics"], 3);
    EXPECT_EQ(stored[today]["totalCleaned"], 1);
}

TEST_F(StatsTrackerTest, UnreadableBucketsReadAsNoneAndStayUntilTheNextRecord) {
    const std::string today = calendarDayKey(clock->now());
    const std::string yesterday = CalendarDay::local(clock->now()).addingDays(-1).key();
    // The second bucket lacks its dateKey, which makes the whole value unreadable.
    storeBuckets(
        {{today, {{"dateKey", today}, {"totalCleaned", 5}}}, {yesterday, {{"totalCleaned", 5}}}});
    const auto unreadable = defaults->dataForKey(StatsTracker::kDailyBucketsKey);

    auto stats = makeTracker();
    EXPECT_EQ(stats->snapshot(StatsWindow::sevenDays).totalCleaned, 0);
    EXPECT_EQ(defaults->dataForKey(StatsTracker::kDailyBucketsKey), unreadable);

    stats->recordClean(cleanWith({}));
    const Json stored = storedBuckets();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[today]["totalCleaned"], 1);
}

TEST_F(StatsTrackerTest, StoredBucketHasEveryField) {
    auto stats = makeTracker();
    stats->recordClean(cleanWith({RuleCategoryType::advertising}, 2));
    stats->recordCommandRisk(riskOf(CommandRiskSeverity::warning), true);
    const Json stored = storedBuckets();
    ASSERT_TRUE(stored.contains("2026-12-09"));
    const Json& bucket = stored["2026-12-09"];
    std::set<std::string> names;
    for (const auto& item : bucket.items()) {
        names.insert(item.key());
    }
    EXPECT_EQ(names,
              (std::set<std::string>{"dateKey", "totalCleaned", "totalCommandWarnings",
                                     "neutralizedCommands", "categoryStats", "commandSeverityStats",
                                     "impactStats", "confidenceStats"}));
    EXPECT_EQ(bucket["dateKey"], "2026-12-09");
    EXPECT_EQ(bucket["categoryStats"], Json({{"Advertising", 1}}));
    EXPECT_EQ(bucket["commandSeverityStats"], Json({{"warning", 1}}));
    EXPECT_EQ(bucket["neutralizedCommands"], 1);
}

TEST_F(StatsTrackerTest, AllTimeReadsLifetimeCountersNotBuckets) {
    defaults->setInteger("stats_totalCleaned", 500);
    defaults->setInteger("stats_category_Custom", 40);
    auto stats = makeTracker();
    stats->recordClean(cleanWith({RuleCategoryType::custom}));
    EXPECT_EQ(stats->snapshot(StatsWindow::allTime).totalCleaned, 501);
    EXPECT_EQ(stats->snapshot(StatsWindow::allTime).count(RuleCategoryType::custom), 41);
    EXPECT_EQ(stats->snapshot(StatsWindow::thirtyDays).totalCleaned, 1);
}

TEST_F(StatsTrackerTest, CountsStopAtTheLargestValue) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    defaults->setInteger("stats_totalCleaned", kMax);
    defaults->setInteger("stats_impact_Low", kMax);
    const std::string today = calendarDayKey(clock->now());
    const std::string yesterday = CalendarDay::local(clock->now()).addingDays(-1).key();
    storeBuckets({{today, {{"dateKey", today}, {"totalCleaned", kMax}}},
                  {yesterday, {{"dateKey", yesterday}, {"totalCleaned", kMax}}}});
    auto stats = makeTracker();
    stats->recordClean(cleanWith({}));
    EXPECT_EQ(stats->totalCleaned(), kMax);
    EXPECT_EQ(defaults->integerForKey("stats_impact_Low"), kMax);
    EXPECT_EQ(stats->snapshot(StatsWindow::sevenDays).totalCleaned, kMax);
}

TEST_F(StatsTrackerTest, PurgeRemovesEveryStatisticsKeyButTheSwitch) {
    auto stats = makeTracker();
    stats->setCollectionEnabled(true);
    defaults->setString("unrelated", "kept");
    // Every counter key the tracker owns, written so that each must be removed.
    for (RuleCategoryType c : allCases<RuleCategoryType>()) {
        defaults->setInteger("stats_category_" + std::string(rawValue(c)), 1);
    }
    for (CommandRiskSeverity s : allCases<CommandRiskSeverity>()) {
        defaults->setInteger("stats_commandSeverity_" + std::string(rawValue(s)), 1);
    }
    for (TrackingImpactLevel l : allCases<TrackingImpactLevel>()) {
        defaults->setInteger("stats_impact_" + std::string(rawValue(l)), 1);
    }
    for (TrackingImpactConfidence c : allCases<TrackingImpactConfidence>()) {
        defaults->setInteger("stats_confidence_" + std::string(rawValue(c)), 1);
    }
    stats->load();
    stats->recordClean(cleanWith({RuleCategoryType::analytics}));
    stats->recordCommandRisk(riskOf(CommandRiskSeverity::danger), true);
    EXPECT_EQ(defaults->dictionaryRepresentation().size(), 23u + 2u);

    stats->purgeStats();
    const auto left = defaults->dictionaryRepresentation();
    EXPECT_EQ(left.size(), 2u);
    EXPECT_TRUE(left.contains("stats_collection_enabled"));
    EXPECT_TRUE(left.contains("unrelated"));
    for (StatsWindow window : allCases<StatsWindow>()) {
        const StatsSnapshot s = stats->snapshot(window);
        EXPECT_EQ(s, stats->snapshot(StatsWindow::today)) << rawValue(window);
        EXPECT_EQ(s.categoryStats.size(), 8u);
        EXPECT_EQ(s.count(RuleCategoryType::analytics), 0);
    }
}

TEST_F(StatsTrackerTest, ExportListsEveryWindowInFixedOrder) {
    auto stats = makeTracker();
    const std::string empty = stats->exportCSV();
    const std::vector<std::string> lines = splitLines(empty);
    ASSERT_EQ(lines.size(), 89u);
    EXPECT_NE(empty.back(), '\n');
    EXPECT_EQ(lines[0], "Window,Section,Label,Count");
    const std::vector<std::string> todayBlock(lines.begin() + 1, lines.begin() + 23);
    EXPECT_EQ(todayBlock, (std::vector<std::string>{
                              "Today,Overview,Total URLs Cleaned,0",
                              "Today,Command Guard,Warnings,0",
                              "Today,Command Guard,Neutralized,0",
                              "Today,Command Guard,Info,0",
                              "Today,Command Guard,Warning,0",
                              "Today,Command Guard,Danger,0",
                              "Today,Category,Analytics,0",
                              "Today,Category,Social Media,0",
                              "Today,Category,Advertising,0",
                              "Today,Category,Referral Marketing,0",
                              "Today,Category,Redirect Unwrapping,0",
                              "Today,Category,E-commerce,0",
                              "Today,Category,Email Marketing,0",
                              "Today,Category,Custom,0",
                              "Today,Impact,Negligible,0",
                              "Today,Impact,Low,0",
                              "Today,Impact,Medium,0",
                              "Today,Impact,High,0",
                              "Today,Impact,Very High,0",
                              "Today,Confidence,High,0",
                              "Today,Confidence,Medium,0",
                              "Today,Confidence,Low,0",
                          }));
    EXPECT_EQ(lines[23], "7 Days,Overview,Total URLs Cleaned,0");
    EXPECT_EQ(lines[45], "30 Days,Overview,Total URLs Cleaned,0");
    EXPECT_EQ(lines[67], "All Time,Overview,Total URLs Cleaned,0");

    // Yesterday's clean counts for "7 Days" but not "Today".
    clock->advance(-hours(24));
    stats->recordCommandRisk(riskOf(CommandRiskSeverity::danger), false);
    clock->advance(hours(24));
    stats->recordClean(cleanWith({RuleCategoryType::ecommerce}));
    const std::vector<std::string> after = splitLines(stats->exportCSV());
    EXPECT_EQ(after[1], "Today,Overview,Total URLs Cleaned,1");
    EXPECT_EQ(after[6], "Today,Command Guard,Danger,0");
    EXPECT_EQ(after[28], "7 Days,Command Guard,Danger,1");
    EXPECT_EQ(after[12], "Today,Category,E-commerce,1");
    EXPECT_EQ(after[88], "All Time,Confidence,Low,0");
}

// Processes counting into one settings file at the same time (the application
// and another started for the same user) add up; none overwrites the others'.
TEST(StatsTrackerProcesses, CountsOfProcessesSharingTheSettingsAddUp) {
    constexpr int kProcesses = 3;
    constexpr int kCleans = 40;
    testing::TempDir dir;
    const auto file = dir / "settings.json";
    auto clock = std::make_shared<ManualClock>();
    clock->set(utc(2026, 12, 9, 8, 4));
    const bool succeeded = testing::runInForkedProcesses(kProcesses, [&](int) {
        auto defaults = std::make_shared<FileUserDefaults>(file);
        StatsTracker tracker(defaults, clock);
        for (int i = 0; i < kCleans; ++i) {
            tracker.recordClean(cleanWith({RuleCategoryType::analytics}));
            if (i % 10 == 0) {
                tracker.recordCommandRisk(riskOf(CommandRiskSeverity::danger), true);
            }
            if (i % 4 == 0 && !defaults->synchronize()) {
                return false;
            }
        }
        return defaults->synchronize();
    });
    ASSERT_TRUE(succeeded);

    StatsTracker fresh(std::make_shared<FileUserDefaults>(file), clock);
    for (const StatsWindow window : {StatsWindow::allTime, StatsWindow::today}) {
        SCOPED_TRACE(std::string(rawValue(window)));
        const StatsSnapshot counts = fresh.snapshot(window);
        EXPECT_EQ(counts.totalCleaned, kProcesses * kCleans);
        EXPECT_EQ(counts.categoryStats.at(RuleCategoryType::analytics), kProcesses * kCleans);
        EXPECT_EQ(counts.totalCommandWarnings, kProcesses * kCleans / 10);
        EXPECT_EQ(counts.neutralizedCommands, kProcesses * kCleans / 10);
        EXPECT_EQ(counts.commandSeverityStats.at(CommandRiskSeverity::danger),
                  kProcesses * kCleans / 10);
    }
}

}  // namespace
}  // namespace scourlet

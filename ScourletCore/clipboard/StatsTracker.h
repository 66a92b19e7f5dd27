// StatsTracker: on-device statistics of what Scourlet did: links cleaned, the
// rule categories involved, the tracking impact of each clean, and the risky
// commands Command Guard reported and neutralized. Only counts are kept, never
// a link or a command.
//
// Two kinds of figures live side by side in the settings store:
//  - lifetime counters, one integer key each ("stats_totalCleaned",
//    "stats_category_Social Media", ...), which answer the "All Time" window;
//  - daily buckets, one per local calendar day for the last 35 days, stored
//    together as JSON data under "stats_daily_buckets_v1", which answer the
//    "Today", "7 Days" and "30 Days" windows.
//
//   StatsTracker stats(defaults, clock);
//   stats.recordClean(result);                        // after each clean
//   StatsSnapshot week = stats.snapshot(StatsWindow::sevenDays);
//   std::string csv = stats.exportCSV();
//   if (StatsTracker::isCollectionEnabled(*defaults)) { ... }   // rules engine
//
// Used on the main thread only; it takes no lock. Published fields announce a
// change before it is stored. No operation fails: unreadable stored buckets
// read as none, and counts stop at the largest 64-bit value instead of
// overflowing.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "ScourletCore/clipboard/CommandRiskResult.h"
#include "ScourletCore/clipboard/CommandRiskSeverity.h"
#include "ScourletCore/clipboard/StatsSnapshot.h"
#include "ScourletCore/clipboard/StatsWindow.h"
#include "ScourletCore/clipboard/TrackingImpactConfidence.h"
#include "ScourletCore/clipboard/TrackingImpactLevel.h"
#include "ScourletCore/clipboard/internal/DailyStatsBucket.h"
#include "ScourletCore/platform/Clock.h"
#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/platform/UserDefaults.h"
#include "ScourletCore/rules/CleanResult.h"
#include "ScourletCore/rules/RuleCategoryType.h"

namespace scourlet {

class StatsTracker final : public ObservableObject {
public:
    // The collection switch: a Boolean, on while absent.
    static constexpr std::string_view kCollectionEnabledKey = "stats_collection_enabled";

    static constexpr std::string_view kTotalKey = "stats_totalCleaned";
    static constexpr std::string_view kCommandWarningsKey = "stats_commandWarnings";
    static constexpr std::string_view kNeutralizedCommandsKey = "stats_neutralizedCommands";
    // Per-case counters: the prefix followed by the case's raw value as it is
    // ("stats_impact_Very High").
    static constexpr std::string_view kCategoryPrefix = "stats_category_";
    static constexpr std::string_view kCommandSeverityPrefix = "stats_commandSeverity_";
    static constexpr std::string_view kImpactPrefix = "stats_impact_";
    static constexpr std::string_view kConfidencePrefix = "stats_confidence_";
    static constexpr std::string_view kDailyBucketsKey = "stats_daily_buckets_v1";

    // Calendar days of buckets kept: today and the 34 days before.
    static constexpr int retentionDays = 35;

    // Display order of the impact and confidence figures, also used by the export.
    static constexpr std::array<TrackingImpactLevel, 5> impactOrder{
        TrackingImpactLevel::negligible, TrackingImpactLevel::low,      TrackingImpactLevel::medium,
        TrackingImpactLevel::high,       TrackingImpactLevel::veryHigh,
    };
    static constexpr std::array<TrackingImpactConfidence, 3> confidenceOrder{
        TrackingImpactConfidence::high,
        TrackingImpactConfidence::medium,
        TrackingImpactConfidence::low,
    };

    using CategoryCounts = std::map<RuleCategoryType, std::int64_t>;
    using SeverityCounts = std::map<CommandRiskSeverity, std::int64_t>;
    using ImpactCounts = std::map<TrackingImpactLevel, std::int64_t>;
    using ConfidenceCounts = std::map<TrackingImpactConfidence, std::int64_t>;

    // Reads every figure from `defaults` (see load()). `clock` gives the moment
    // whose local calendar day records go to and windows end with.
    StatsTracker(std::shared_ptr<UserDefaults> defaults, std::shared_ptr<const Clock> clock);

    // Whether statistics and rule match counts are collected: the Boolean under
    // kCollectionEnabledKey, or true when the key is absent.
    static bool isCollectionEnabled(const UserDefaults& defaults) {
        return !defaults.contains(kCollectionEnabledKey) ||
               defaults.boolForKey(kCollectionEnabledKey);
    }
    // The same for this tracker's store.
    bool isCollectionEnabled() const { return isCollectionEnabled(*defaults_); }

    // Stores the switch, then announces a change. Figures are neither cleared
    // (switching off) nor reloaded (switching on).
    void setCollectionEnabled(bool enabled);

    // Reads all figures from the store: absent counters read as 0, and every
    // case of each enumeration gets an entry. Drops buckets older than the
    // retention, of future days or with keys that are no date key, and stores
    // the buckets again when it dropped any. Unreadable bucket data reads as no
    // buckets and stays stored until the next record writes over it.
    void load();
    void refresh() { load(); }

    // Counts one clean: the total, each matched category once, and the
    // result's impact level and confidence, for all time and today. Does
    // nothing while collection is off.
    void recordClean(const CleanResult& result);

    // Counts one Command Guard warning of `result.severity`, and one
    // neutralized command when `neutralized`, for all time and today. Does
    // nothing while collection is off.
    void recordCommandRisk(const CommandRiskResult& result, bool neutralized);

    // Sets every figure to 0 (the maps keep every case) and removes every
    // statistics key (23 in all) but the collection switch.
    void purgeStats();
    void resetStats() { purgeStats(); }

    // The figures of `window`: the lifetime counters for allTime, else the sum
    // of the buckets of the window's days. Changes nothing.
    StatsSnapshot snapshot(StatsWindow window) const;

    // CSV of all four windows: the header "Window,Section,Label,Count", then 22
    // lines per window; lines joined by "\n", none at the end.
    std::string exportCSV() const;

    // --- Published lifetime figures ---------------------------------------------
    std::int64_t totalCleaned() const { return totalCleaned_.get(); }
    Signal<std::int64_t>& totalCleanedPublisher() const { return totalCleaned_.publisher(); }
    std::int64_t totalCommandWarnings() const { return totalCommandWarnings_.get(); }
    Signal<std::int64_t>& totalCommandWarningsPublisher() const {
        return totalCommandWarnings_.publisher();
    }
    std::int64_t neutralizedCommands() const { return neutralizedCommands_.get(); }
    Signal<std::int64_t>& neutralizedCommandsPublisher() const {
        return neutralizedCommands_.publisher();
    }
    const CategoryCounts& categoryStats() const { return categoryStats_.get(); }
    Signal<CategoryCounts>& categoryStatsPublisher() const { return categoryStats_.publisher(); }
    const SeverityCounts& commandSeverityStats() const { return commandSeverityStats_.get(); }
    Signal<SeverityCounts>& commandSeverityStatsPublisher() const {
        return commandSeverityStats_.publisher();
    }
    const ImpactCounts& impactStats() const { return impactStats_.get(); }
    Signal<ImpactCounts>& impactStatsPublisher() const { return impactStats_.publisher(); }
    const ConfidenceCounts& confidenceStats() const { return confidenceStats_.get(); }
    Signal<ConfidenceCounts>& confidenceStatsPublisher() const {
        return confidenceStats_.publisher();
    }

private:
    using TimePoint = std::chrono::system_clock::time_point;

    using BucketsChange = std::function<void(internal::DailyStatsBuckets&)>;

    void loadDailyBuckets();
    // Makes `change` to the buckets held here and, in one step of the store,
    // to the stored ones, so that counts another process adds meanwhile stay.
    void changeDailyBuckets(BucketsChange change);
    void pruneDailyBuckets(TimePoint now);
    // A change that drops the days out of the window ending at `now` and then
    // counts into that day's bucket with `count`.
    static BucketsChange countedToday(TimePoint now,
                                      std::function<void(internal::DailyStatsBucket&)> count);
    StatsSnapshot snapshot(int days) const;

    template <class Key>
    void incrementCounter(Published<std::map<Key, std::int64_t>>& field, Key key,
                          std::string_view prefix);
    void incrementTotal(Published<std::int64_t>& field, std::string_view key);

    std::shared_ptr<UserDefaults> defaults_;
    std::shared_ptr<const Clock> clock_;

    Published<std::int64_t> totalCleaned_{*this, 0};
    Published<std::int64_t> totalCommandWarnings_{*this, 0};
    Published<std::int64_t> neutralizedCommands_{*this, 0};
    Published<CategoryCounts> categoryStats_{*this, {}};
    Published<SeverityCounts> commandSeverityStats_{*this, {}};
    Published<ImpactCounts> impactStats_{*this, {}};
    Published<ConfidenceCounts> confidenceStats_{*this, {}};

    internal::DailyStatsBuckets dailyBuckets_;
    // The stored form of dailyBuckets_ as this tracker last stored it.
    std::shared_ptr<const DefaultsData> storedBuckets_;
};

}  // namespace scourlet

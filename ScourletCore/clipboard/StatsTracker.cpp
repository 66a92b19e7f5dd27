#include "ScourletCore/clipboard/StatsTracker.h"

#include <algorithm>
#include <cassert>
#include <set>
#include <utility>
#include <vector>

#include "ScourletCore/clipboard/TrackingImpactAnalyzer.h"
#include "ScourletCore/platform/CalendarDay.h"

namespace scourlet {

namespace {

using internal::DailyStatsBucket;
using internal::incremented;
using internal::saturatingSum;

std::string keyOf(std::string_view prefix, std::string_view rawValue) {
    std::string key;
    key.reserve(prefix.size() + rawValue.size());
    key.append(prefix).append(rawValue);
    return key;
}

template <class Key, std::size_t N>
std::map<Key, std::int64_t> readCounters(const UserDefaults& defaults, std::string_view prefix,
                                         const std::array<Key, N>& cases) {
    std::map<Key, std::int64_t> counts;
    for (Key key : cases) {
        counts[key] = defaults.integerForKey(keyOf(prefix, rawValue(key)));
    }
    return counts;
}

template <class Key, std::size_t N>
std::map<Key, std::int64_t> zeroCounts(const std::array<Key, N>& cases) {
    std::map<Key, std::int64_t> counts;
    for (Key key : cases) {
        counts[key] = 0;
    }
    return counts;
}

void incrementEntry(DailyStatsBucket::Counts& counts, std::string_view rawValue) {
    auto it = counts.find(rawValue);
    if (it == counts.end()) {
        counts.emplace(std::string(rawValue), 1);
    } else {
        it->second = incremented(it->second);
    }
}

// Adds the bucket's entries for the known cases; entries under other names
// (written by another version) are not counted.
template <class Key>
void addKnown(std::map<Key, std::int64_t>& totals, const DailyStatsBucket::Counts& counts) {
    for (auto& [key, total] : totals) {
        const auto it = counts.find(rawValue(key));
        if (it != counts.end()) {
            total = saturatingSum(total, it->second);
        }
    }
}

template <class Key>
std::int64_t countOf(const std::map<Key, std::int64_t>& counts, Key key) {
    const auto it = counts.find(key);
    return it == counts.end() ? 0 : it->second;
}

}  // namespace

StatsTracker::StatsTracker(std::shared_ptr<UserDefaults> defaults,
                           std::shared_ptr<const Clock> clock)
    : defaults_(std::move(defaults)), clock_(std::move(clock)) {
    assert(defaults_ && clock_);
    load();
}

void StatsTracker::setCollectionEnabled(bool enabled) {
    defaults_->setBool(kCollectionEnabledKey, enabled);
    objectWillChange().emit();
}

void StatsTracker::load() {
    totalCleaned_.set(defaults_->integerForKey(kTotalKey));
    totalCommandWarnings_.set(defaults_->integerForKey(kCommandWarningsKey));
    neutralizedCommands_.set(defaults_->integerForKey(kNeutralizedCommandsKey));
    categoryStats_.set(readCounters(*defaults_, kCategoryPrefix, allCases<RuleCategoryType>()));
    commandSeverityStats_.set(
        readCounters(*defaults_, kCommandSeverityPrefix, allCases<CommandRiskSeverity>()));
    impactStats_.set(readCounters(*defaults_, kImpactPrefix, allCases<TrackingImpactLevel>()));
    confidenceStats_.set(
        readCounters(*defaults_, kConfidencePrefix, allCases<TrackingImpactConfidence>()));
    loadDailyBuckets();
    pruneDailyBuckets(clock_->now());
}

void StatsTracker::recordClean(const CleanResult& result) {
    if (!isCollectionEnabled()) {
        return;
    }
    incrementTotal(totalCleaned_, kTotalKey);
    for (RuleCategoryType category : result.matchedCategories) {
        incrementCounter(categoryStats_, category, kCategoryPrefix);
    }
    const TrackingImpactReport report = TrackingImpactAnalyzer::analyze(result);
    incrementCounter(impactStats_, report.impactLevel, kImpactPrefix);
    incrementCounter(confidenceStats_, report.confidence, kConfidencePrefix);

    changeDailyBuckets(countedToday(
        clock_->now(), [categories = result.matchedCategories, report](DailyStatsBucket& bucket) {
            bucket.totalCleaned = incremented(bucket.totalCleaned);
            for (RuleCategoryType category : categories) {
                incrementEntry(bucket.categoryStats, rawValue(category));
            }
            incrementEntry(bucket.impactStats, rawValue(report.impactLevel));
            incrementEntry(bucket.confidenceStats, rawValue(report.confidence));
        }));
}

void StatsTracker::recordCommandRisk(const CommandRiskResult& result, bool neutralized) {
    const CommandRiskSeverity severity = result.severity;
    if (!isCollectionEnabled()) {
        return;
    }
    incrementTotal(totalCommandWarnings_, kCommandWarningsKey);
    if (neutralized) {
        incrementTotal(neutralizedCommands_, kNeutralizedCommandsKey);
    }
    incrementCounter(commandSeverityStats_, severity, kCommandSeverityPrefix);

    changeDailyBuckets(
        countedToday(clock_->now(), [severity, neutralized](DailyStatsBucket& bucket) {
            bucket.totalCommandWarnings = incremented(bucket.totalCommandWarnings);
            if (neutralized) {
                bucket.neutralizedCommands = incremented(bucket.neutralizedCommands);
            }
            incrementEntry(bucket.commandSeverityStats, rawValue(severity));
        }));
}

void StatsTracker::purgeStats() {
    totalCleaned_.set(0);
    totalCommandWarnings_.set(0);
    neutralizedCommands_.set(0);
    defaults_->removeObject(kTotalKey);
    defaults_->removeObject(kCommandWarningsKey);
    defaults_->removeObject(kNeutralizedCommandsKey);

    categoryStats_.set(zeroCounts(allCases<RuleCategoryType>()));
    for (RuleCategoryType category : allCases<RuleCategoryType>()) {
        defaults_->removeObject(keyOf(kCategoryPrefix, rawValue(category)));
    }
    commandSeverityStats_.set(zeroCounts(allCases<CommandRiskSeverity>()));
    for (CommandRiskSeverity severity : allCases<CommandRiskSeverity>()) {
        defaults_->removeObject(keyOf(kCommandSeverityPrefix, rawValue(severity)));
    }
    impactStats_.set(zeroCounts(allCases<TrackingImpactLevel>()));
    for (TrackingImpactLevel level : allCases<TrackingImpactLevel>()) {
        defaults_->removeObject(keyOf(kImpactPrefix, rawValue(level)));
    }
    confidenceStats_.set(zeroCounts(allCases<TrackingImpactConfidence>()));
    for (TrackingImpactConfidence confidence : allCases<TrackingImpactConfidence>()) {
        defaults_->removeObject(keyOf(kConfidencePrefix, rawValue(confidence)));
    }

    dailyBuckets_.clear();
    storedBuckets_.reset();
    defaults_->removeObject(kDailyBucketsKey);
}

StatsSnapshot StatsTracker::snapshot(StatsWindow window) const {
    if (const auto days = dayCount(window)) {
        return snapshot(*days);
    }
    return StatsSnapshot{
        .totalCleaned = totalCleaned(),
        .totalCommandWarnings = totalCommandWarnings(),
        .neutralizedCommands = neutralizedCommands(),
        .categoryStats = categoryStats(),
        .commandSeverityStats = commandSeverityStats(),
        .impactStats = impactStats(),
        .confidenceStats = confidenceStats(),
    };
}

StatsSnapshot StatsTracker::snapshot(int days) const {
    StatsSnapshot sum{
        .categoryStats = zeroCounts(allCases<RuleCategoryType>()),
        .commandSeverityStats = zeroCounts(allCases<CommandRiskSeverity>()),
        .impactStats = zeroCounts(allCases<TrackingImpactLevel>()),
        .confidenceStats = zeroCounts(allCases<TrackingImpactConfidence>()),
    };
    for (const std::string& key : recentCalendarDayKeys(clock_->now(), days)) {
        const auto it = dailyBuckets_.find(key);
        if (it == dailyBuckets_.end()) {
            continue;
        }
        const DailyStatsBucket& bucket = it->second;
        sum.totalCleaned = saturatingSum(sum.totalCleaned, bucket.totalCleaned);
        sum.totalCommandWarnings =
            saturatingSum(sum.totalCommandWarnings, bucket.totalCommandWarnings);
        sum.neutralizedCommands =
            saturatingSum(sum.neutralizedCommands, bucket.neutralizedCommands);
        addKnown(sum.categoryStats, bucket.categoryStats);
        addKnown(sum.commandSeverityStats, bucket.commandSeverityStats);
        addKnown(sum.impactStats, bucket.impactStats);
        addKnown(sum.confidenceStats, bucket.confidenceStats);
    }
    return sum;
}

std::string StatsTracker::exportCSV() const {
    std::string csv = "Window,Section,Label,Count";
    const auto line = [&csv](StatsWindow window, std::string_view section, std::string_view label,
                             std::int64_t count) {
        csv += '\n';
        csv += rawValue(window);
        csv += ',';
        csv += section;
        csv += ',';
        csv += label;
        csv += ',';
        csv += std::to_string(count);
    };
    // The raw severity values are lower case; the export labels them as titles.
    constexpr std::array<std::string_view, 3> kSeverityLabels{"Info", "Warning", "Danger"};
    static_assert(allCases<CommandRiskSeverity>().size() == kSeverityLabels.size());

    for (StatsWindow window : allCases<StatsWindow>()) {
        const StatsSnapshot s = snapshot(window);
        line(window, "Overview", "Total URLs Cleaned", s.totalCleaned);
        line(window, "Command Guard", "Warnings", s.totalCommandWarnings);
        line(window, "Command Guard", "Neutralized", s.neutralizedCommands);
        for (std::size_t i = 0; i < allCases<CommandRiskSeverity>().size(); ++i) {
            line(window, "Command Guard", kSeverityLabels[i],
                 countOf(s.commandSeverityStats, allCases<CommandRiskSeverity>()[i]));
        }
        for (RuleCategoryType category : allCases<RuleCategoryType>()) {
            line(window, "Category", rawValue(category), countOf(s.categoryStats, category));
        }
        for (TrackingImpactLevel level : impactOrder) {
            line(window, "Impact", rawValue(level), countOf(s.impactStats, level));
        }
        for (TrackingImpactConfidence confidence : confidenceOrder) {
            line(window, "Confidence", rawValue(confidence),
                 countOf(s.confidenceStats, confidence));
        }
    }
    return csv;
}

void StatsTracker::loadDailyBuckets() {
    dailyBuckets_.clear();
    storedBuckets_.reset();
    const auto data = defaults_->dataForKey(kDailyBucketsKey);
    if (!data) {
        return;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data->data()), data->size());
    if (auto buckets = internal::decodeDailyStatsBuckets(bytes)) {
        dailyBuckets_ = std::move(*buckets);
        storedBuckets_ = std::make_shared<const DefaultsData>(std::move(*data));
    }
}

void StatsTracker::changeDailyBuckets(BucketsChange change) {
    change(dailyBuckets_);
    auto encoded = internal::encodeDailyStatsBuckets(dailyBuckets_);
    if (!encoded) {
        return;
    }
    auto after = std::make_shared<const DefaultsData>(std::move(*encoded));
    // While the store holds what this tracker wrote last (nobody else counted
    // meanwhile), the result is what was just encoded here; otherwise the
    // change is made to the stored buckets.
    defaults_->update(kDailyBucketsKey, [change = std::move(change), before = storedBuckets_,
                                         after](std::optional<DefaultsValue> stored)
                                            -> std::optional<DefaultsValue> {
        const DefaultsData* bytes =
            stored && stored->is_binary() ? &static_cast<const DefaultsData&>(stored->get_binary())
                                          : nullptr;
        if (before && bytes != nullptr && *bytes == *before) {
            return DefaultsValue::binary(*after);
        }
        internal::DailyStatsBuckets buckets;
        if (bytes != nullptr) {
            if (auto decoded = internal::decodeDailyStatsBuckets(std::string_view(
                    reinterpret_cast<const char*>(bytes->data()), bytes->size()))) {
                buckets = std::move(*decoded);
            }
        }
        change(buckets);
        auto merged = internal::encodeDailyStatsBuckets(buckets);
        if (!merged) {
            return stored;
        }
        return DefaultsValue::binary(std::move(*merged));
    });
    storedBuckets_ = std::move(after);
}

namespace {

// Drops the buckets of days other than `keep`; true when any went.
bool pruneBuckets(internal::DailyStatsBuckets& buckets, const std::vector<std::string>& keep) {
    const std::set<std::string_view> kept(keep.begin(), keep.end());
    return std::erase_if(buckets,
                         [&kept](const auto& entry) { return !kept.contains(entry.first); }) > 0;
}

}  // namespace

void StatsTracker::pruneDailyBuckets(TimePoint now) {
    std::vector<std::string> recent = recentCalendarDayKeys(now, retentionDays);
    const bool outdated = std::any_of(dailyBuckets_.begin(), dailyBuckets_.end(), [&](const auto& e) {
        return std::find(recent.begin(), recent.end(), e.first) == recent.end();
    });
    if (outdated) {
        changeDailyBuckets([recent = std::move(recent)](internal::DailyStatsBuckets& buckets) {
            pruneBuckets(buckets, recent);
        });
    }
}

StatsTracker::BucketsChange StatsTracker::countedToday(
    TimePoint now, std::function<void(DailyStatsBucket&)> count) {
    // The days are worked out when the change is made, not kept with it: a
    // change waiting to be written costs little memory.
    return [now, day = calendarDayKey(now),
            count = std::move(count)](internal::DailyStatsBuckets& buckets) {
        pruneBuckets(buckets, recentCalendarDayKeys(now, retentionDays));
        auto it = buckets.find(day);
        if (it == buckets.end()) {
            DailyStatsBucket bucket;
            bucket.dateKey = day;
            it = buckets.emplace(day, std::move(bucket)).first;
        }
        count(it->second);
    };
}

template <class Key>
void StatsTracker::incrementCounter(Published<std::map<Key, std::int64_t>>& field, Key key,
                                    std::string_view prefix) {
    auto counts = field.get();
    std::int64_t& count = counts[key];
    count = incremented(count);
    field.set(std::move(counts));
    defaults_->update(keyOf(prefix, rawValue(key)), internal::incrementedStoredCount);
}

void StatsTracker::incrementTotal(Published<std::int64_t>& field, std::string_view key) {
    field.set(incremented(field.get()));
    defaults_->update(key, internal::incrementedStoredCount);
}

}  // namespace scourlet

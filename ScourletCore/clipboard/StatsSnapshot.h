// The statistics of one window (see StatsWindow): totals and per-case counts.
//
//   StatsSnapshot s = tracker.snapshot(StatsWindow::sevenDays);
//   show(s.totalCleaned, s.count(RuleCategoryType::analytics));
//
// Snapshots made by StatsTracker list every case of each enumeration, 0 when
// nothing was counted; count() answers 0 for a case that is absent anyway.
#pragma once

#include <cstdint>
#include <map>

#include "ScourletCore/clipboard/CommandRiskSeverity.h"
#include "ScourletCore/clipboard/TrackingImpactConfidence.h"
#include "ScourletCore/clipboard/TrackingImpactLevel.h"
#include "ScourletCore/rules/RuleCategoryType.h"

namespace scourlet {

struct StatsSnapshot {
    std::int64_t totalCleaned = 0;
    std::int64_t totalCommandWarnings = 0;
    std::int64_t neutralizedCommands = 0;
    std::map<RuleCategoryType, std::int64_t> categoryStats{};
    std::map<CommandRiskSeverity, std::int64_t> commandSeverityStats{};
    std::map<TrackingImpactLevel, std::int64_t> impactStats{};
    std::map<TrackingImpactConfidence, std::int64_t> confidenceStats{};

    bool operator==(const StatsSnapshot&) const = default;

    // The count of one case; 0 when the map has no entry for it.
    std::int64_t count(RuleCategoryType category) const { return find(categoryStats, category); }
    std::int64_t count(CommandRiskSeverity severity) const {
        return find(commandSeverityStats, severity);
    }
    std::int64_t count(TrackingImpactLevel level) const { return find(impactStats, level); }
    std::int64_t count(TrackingImpactConfidence confidence) const {
        return find(confidenceStats, confidence);
    }

private:
    template <class Key>
    static std::int64_t find(const std::map<Key, std::int64_t>& map, Key key) {
        const auto it = map.find(key);
        return it == map.end() ? 0 : it->second;
    }
};

}  // namespace scourlet

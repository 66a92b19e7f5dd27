// The periods that statistics are shown for: today, the last 7 and 30 local
// calendar days (from the daily buckets) and all time (the lifetime counters).
//
// The raw value is the display text and the first column of the CSV export.
//
//   for (StatsWindow w : allCases<StatsWindow>()) show(rawValue(w), tracker.snapshot(w));
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "ScourletCore/platform/RawValueEnum.h"

namespace scourlet {

enum class StatsWindow {
    today,
    sevenDays,
    thirtyDays,
    allTime,
};

template <>
struct RawValueTable<StatsWindow> {
    static constexpr std::string_view name = "statistics window";
    static constexpr auto cases = std::to_array<RawValueCase<StatsWindow>>({
        {StatsWindow::today, "Today"},
        {StatsWindow::sevenDays, "7 Days"},
        {StatsWindow::thirtyDays, "30 Days"},
        {StatsWindow::allTime, "All Time"},
    });
};

// The identifier: the same text as the raw value.
inline std::string_view id(StatsWindow window) {
    return rawValue(window);
}

// The number of calendar days, today included, that a window sums; nothing for
// allTime, which reads the lifetime counters instead.
std::optional<int> dayCount(StatsWindow window);

}  // namespace scourlet

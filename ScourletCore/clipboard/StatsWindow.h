// The periods that statistics are shown for: today, the last 7 and 30 local
// calendar days (from the daily buckets) and all time (the lifetime counters).
//
// The raw value is the display text and the first column of the CSV export.
//
//   for (StatsWindow w : statsWindowAllCases) show(rawValue(w), tracker.snapshot(w));
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace scourlet {

enum class StatsWindow {
    today,
    sevenDays,
    thirtyDays,
    allTime,
};

inline constexpr std::array<StatsWindow, 4> statsWindowAllCases{
    StatsWindow::today,
    StatsWindow::sevenDays,
    StatsWindow::thirtyDays,
    StatsWindow::allTime,
};

// "Today", "7 Days", "30 Days" or "All Time".
std::string_view rawValue(StatsWindow window);

// The identifier: the same text as the raw value.
inline std::string_view id(StatsWindow window) {
    return rawValue(window);
}

// The window whose raw value is exactly `raw`, or nothing.
std::optional<StatsWindow> statsWindowFromRawValue(std::string_view raw);

// The number of calendar days, today included, that a window sums; nothing for
// allTime, which reads the lifetime counters instead.
std::optional<int> dayCount(StatsWindow window);

}  // namespace scourlet

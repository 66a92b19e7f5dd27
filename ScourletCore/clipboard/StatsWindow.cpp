#include "ScourletCore/clipboard/StatsWindow.h"

#include <cstddef>

namespace scourlet {

namespace {
// Indexed by the enumerator's value, so the order must follow the declaration.
constexpr std::array<std::string_view, statsWindowAllCases.size()> kRawValues{
    "Today",
    "7 Days",
    "30 Days",
    "All Time",
};
}  // namespace

std::string_view rawValue(StatsWindow window) {
    return kRawValues[static_cast<std::size_t>(window)];
}

std::optional<StatsWindow> statsWindowFromRawValue(std::string_view raw) {
    for (StatsWindow window : statsWindowAllCases) {
        if (rawValue(window) == raw) {
            return window;
        }
    }
    return std::nullopt;
}

std::optional<int> dayCount(StatsWindow window) {
    switch (window) {
        case StatsWindow::today:
            return 1;
        case StatsWindow::sevenDays:
            return 7;
        case StatsWindow::thirtyDays:
            return 30;
        case StatsWindow::allTime:
            return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace scourlet

#include "ScourletCore/clipboard/StatsWindow.h"

namespace scourlet {

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

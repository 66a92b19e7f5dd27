// What the statistics pane shows for one window: the two totals with their
// labels, one row per rule category (every category, 0 when nothing was
// counted), and the Command Guard, monetization-impact and confidence cards in
// their fixed orders.
//
//   StatsPresentation shown = StatsPresentation::from(tracker.snapshot(window), window);
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ScourletCore/clipboard/StatsSnapshot.h"
#include "ScourletCore/clipboard/StatsWindow.h"

namespace scourlet::app {

struct StatsPresentation {
    struct CategoryRow {
        std::string name;
        std::string iconName;
        std::string countText;  // "<n> params stripped"
    };
    using Card = std::vector<std::pair<std::string, std::int64_t>>;

    std::int64_t totalCleaned = 0;
    std::string cleanedLabel;
    std::int64_t totalCommandWarnings = 0;
    std::string warningsLabel;
    std::vector<CategoryRow> categories;
    Card commandGuard;  // Danger, Warning, Info, Neutralized
    Card impact;        // Negligible ... Very High
    Card confidence;    // High, Medium, Low

    static StatsPresentation from(const StatsSnapshot& snapshot, StatsWindow window);

    // The caption under the collection switch.
    static std::string_view collectionCaption(bool enabled);
};

}  // namespace scourlet::app

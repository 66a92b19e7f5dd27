// The question of the "Advanced" pane that needs the user: the confirmation of
// the statistics reset. (The rules reset asks through the rules manager's own
// confirmation, RulesManagerPrompts::confirmReset.) Tests replace it by
// overriding.
//
//   if (prompts.confirmStatisticsReset(this)) stats->purgeStats();
#pragma once

class QWidget;

namespace scourlet::app {

class AdvancedPanePrompts {
public:
    virtual ~AdvancedPanePrompts() = default;

    // "Reset Statistics?": true for "Reset", false for "Cancel" (also Escape
    // or closing the alert).
    virtual bool confirmStatisticsReset(QWidget* parent);
};

}  // namespace scourlet::app

// How one automatic rules update ended.
//
//   auto result = co_await ...;   // or the updater's completion callback
//   task.setCompleted(backgroundTaskSucceeded(result));
#pragma once

namespace scourlet {

enum class AutomaticRuleUpdateResult {
    notDue,     // the cadence did not call for a run
    busy,       // another check or install was running
    succeeded,  // checked (and installed what was found)
    failed,     // the check or the install failed
    cancelled,  // the run was cancelled after a step
};

// Whether a background task that ran the update counts as a success: a run
// with nothing to do, or one that found another update running, does.
constexpr bool backgroundTaskSucceeded(AutomaticRuleUpdateResult result) {
    switch (result) {
        case AutomaticRuleUpdateResult::notDue:
        case AutomaticRuleUpdateResult::busy:
        case AutomaticRuleUpdateResult::succeeded:
            return true;
        case AutomaticRuleUpdateResult::failed:
        case AutomaticRuleUpdateResult::cancelled:
            return false;
    }
    return false;
}

}  // namespace scourlet

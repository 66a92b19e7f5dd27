// Which steps an automatic rules update takes.
//
//   for (auto action : AutomaticRuleUpdatePlan::actions(due, false)) { ... }   // [check] when due
#pragma once

#include <vector>

#include "ScourletCore/ruleupdates/AutomaticRuleUpdateAction.h"

namespace scourlet {

class AutomaticRuleUpdatePlan {
public:
    AutomaticRuleUpdatePlan() = delete;

    // Nothing when the run is not due (an available update alone never
    // starts an install); [check] when due; [check, install] when due and an
    // update is available.
    static std::vector<AutomaticRuleUpdateAction> actions(bool isDue, bool updateAvailable);
};

}  // namespace scourlet

#include "ScourletCore/ruleupdates/AutomaticRuleUpdatePlan.h"

namespace scourlet {

std::vector<AutomaticRuleUpdateAction> AutomaticRuleUpdatePlan::actions(bool isDue,
                                                                        bool updateAvailable) {
    if (!isDue) {
        return {};
    }
    if (updateAvailable) {
        return {AutomaticRuleUpdateAction::check, AutomaticRuleUpdateAction::install};
    }
    return {AutomaticRuleUpdateAction::check};
}

}  // namespace scourlet

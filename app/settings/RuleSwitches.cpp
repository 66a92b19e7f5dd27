#include "app/settings/RuleSwitches.h"

namespace scourlet::app {

void setRuleEnabled(RulesEngine& engine, const RuleCategory& category, std::string_view ruleID,
                    bool enabled) {
    for (const auto& entry : category.rules()) {
        if (entry->id() == ruleID) {
            entry->setIsEnabled(enabled);
        }
    }
    engine.saveEnabledStates();
}

void setCategoryEnabled(RulesEngine& engine, RuleCategory& category, bool enabled) {
    category.setIsEnabled(enabled);
    engine.saveEnabledStates();
}

}  // namespace scourlet::app

// Switching rules from the "Rules" pane, each change stored at once.
//
// A rule's switch is stored per rule id, and a category may list one id more
// than once (a providers file can give two providers the same rule), so a
// rule is switched by id: every entry of the category with that id follows,
// and what the pane shows is what a restart restores.
//
//   setRuleEnabled(engine, *category, entry->id(), false);
#pragma once

#include <string_view>

#include "ScourletCore/rules/RuleCategory.h"
#include "ScourletCore/rules/RulesEngine.h"

namespace scourlet::app {

// Sets every entry of `category` whose id is `ruleID`, then stores the switches.
void setRuleEnabled(RulesEngine& engine, const RuleCategory& category, std::string_view ruleID,
                    bool enabled);

// Sets the category's own switch (its rules keep theirs), then stores the switches.
void setCategoryEnabled(RulesEngine& engine, RuleCategory& category, bool enabled);

}  // namespace scourlet::app

// The values of the add-rule dialog and what they allow.
//
// Both fields count without the white space at their ends (a pasted
// " utm_x" could never match a parameter name). "Add" is open for a pattern
// that is not empty and that the chosen category does not list yet (by the
// rule id the engine would give it, or by a pattern equal ignoring case,
// which matches the same parameters); an empty display name becomes the
// pattern.
//
//   AddRuleForm form{"tracking_id", "", RuleCategoryType::custom};
//   if (form.canAdd(engine)) form.add(engine);     // "Custom:tracking_id"
#pragma once

#include <string>
#include <string_view>

#include "ScourletCore/rules/RuleCategoryType.h"
#include "ScourletCore/rules/RulesEngine.h"

namespace scourlet::app {

struct AddRuleForm {
    std::string pattern;
    std::string displayName;
    RuleCategoryType category = RuleCategoryType::custom;

    enum class Blocker { none, emptyPattern, alreadyListed };

    std::string_view trimmedPattern() const;
    // The trimmed display name, or the trimmed pattern when that is empty.
    std::string displayNameToAdd() const;

    Blocker blocker(const RulesEngine& engine) const;
    bool canAdd(const RulesEngine& engine) const { return blocker(engine) == Blocker::none; }
    // Why "Add" is closed, for the line under the fields; empty when it is
    // open or the pattern is empty (the placeholder says what to type).
    std::string hint(const RulesEngine& engine) const;

    // Adds the rule when canAdd; true when it did.
    bool add(RulesEngine& engine) const;
};

}  // namespace scourlet::app

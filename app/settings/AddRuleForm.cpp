#include "app/settings/AddRuleForm.h"

#include <algorithm>

#include "ScourletCore/platform/Text.h"

namespace scourlet::app {

std::string_view AddRuleForm::trimmedPattern() const {
    return trimmingWhitespaceAndNewlines(pattern);
}

std::string AddRuleForm::displayNameToAdd() const {
    const std::string_view name = trimmingWhitespaceAndNewlines(displayName);
    return std::string(name.empty() ? trimmedPattern() : name);
}

AddRuleForm::Blocker AddRuleForm::blocker(const RulesEngine& engine) const {
    const std::string_view trimmed = trimmedPattern();
    if (trimmed.empty()) {
        return Blocker::emptyPattern;
    }
    const auto& categories = engine.categories.get();
    const auto listed = std::find_if(categories.begin(), categories.end(),
                                     [this](const auto& c) { return c->type() == category; });
    if (listed == categories.end()) {
        return Blocker::none;
    }
    const std::string newID = std::string(id(category)) + ":" + std::string(trimmed);
    const std::string lowered = lowercased(trimmed);
    const auto& rules = (*listed)->rules();
    const bool already = std::any_of(rules.begin(), rules.end(), [&](const auto& rule) {
        return rule->id() == newID || lowercased(rule->pattern()) == lowered;
    });
    return already ? Blocker::alreadyListed : Blocker::none;
}

std::string AddRuleForm::hint(const RulesEngine& engine) const {
    if (blocker(engine) != Blocker::alreadyListed) {
        return {};
    }
    return "This rule already exists in " + std::string(rawValue(category)) + ".";
}

bool AddRuleForm::add(RulesEngine& engine) const {
    if (!canAdd(engine)) {
        return false;
    }
    engine.addCustomRule(std::string(trimmedPattern()), displayNameToAdd(), category);
    return true;
}

}  // namespace scourlet::app

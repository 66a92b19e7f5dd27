#include "app/settings/RuleSearch.h"

#include <algorithm>

#include "ScourletCore/platform/Text.h"

namespace scourlet::app {

RuleSearch::RuleSearch(std::string_view query) : empty_(query.empty()), lowered_(lowercased(query)) {}

bool RuleSearch::contains(std::string_view text) const {
    return lowercased(text).find(lowered_) != std::string::npos;
}

bool RuleSearch::matches(const RuleEntry& rule) const {
    return empty_ || contains(rule.displayName()) || contains(rule.pattern());
}

bool RuleSearch::keeps(const RuleCategory& category) const {
    if (empty_ || contains(category.id())) {
        return true;
    }
    const auto& rules = category.rules();
    return std::any_of(rules.begin(), rules.end(), [this](const auto& rule) { return matches(*rule); });
}

std::vector<std::shared_ptr<RuleEntry>> RuleSearch::rulesOf(const RuleCategory& category) const {
    if (empty_) {
        return category.rules();
    }
    std::vector<std::shared_ptr<RuleEntry>> kept;
    for (const auto& rule : category.rules()) {
        if (matches(*rule)) {
            kept.push_back(rule);
        }
    }
    return kept;
}

}  // namespace scourlet::app

#include "app/settings/RulesPresentation.h"

namespace scourlet::app::rules_presentation {

std::string rulesSummary(std::int64_t enabled, std::size_t total, std::int64_t matches) {
    return std::to_string(enabled) + "/" + std::to_string(total) + " rules \u00B7 " +
           std::to_string(matches) + " matches";
}

std::string matchesText(std::int64_t count) {
    return std::to_string(count) + " matches";
}

std::string expandLabel(std::string_view title, bool expanded) {
    return std::string(expanded ? "Collapse " : "Expand ") + std::string(title) + " rules";
}

std::string_view expandValue(bool expanded) {
    return expanded ? "Expanded" : "Collapsed";
}

std::string categoryToggleLabel(std::string_view title) {
    return "Enable " + std::string(title) + " rules";
}

std::string ruleToggleLabel(std::string_view displayName) {
    return "Enable rule: " + std::string(displayName);
}

std::string ruleToggleHint(bool categoryEnabled, std::string_view title) {
    if (categoryEnabled) {
        return {};
    }
    return "The " + std::string(title) + " category is disabled.";
}

std::string_view onOff(bool on) {
    return on ? "On" : "Off";
}

std::string deleteLabel(std::string_view displayName) {
    return "Delete custom rule: " + std::string(displayName);
}

std::string_view badgeText(RuleEntry::RuleSource source) {
    return rawValue(source);
}

std::string_view categoryThemeIcon(RuleCategoryType type) {
    switch (type) {
    case RuleCategoryType::analytics:
        return "office-chart-bar";
    case RuleCategoryType::socialMedia:
        return "system-users";
    case RuleCategoryType::advertising:
        return "audio-volume-high";
    case RuleCategoryType::referralMarketing:
        return "network-workgroup";
    case RuleCategoryType::redirectUnwrapping:
        return "go-jump";
    case RuleCategoryType::ecommerce:
        return "emblem-money";
    case RuleCategoryType::emailMarketing:
        return "mail-message";
    case RuleCategoryType::custom:
        return "applications-utilities";
    }
    return {};
}

}  // namespace scourlet::app::rules_presentation

// The words of the "Rules" pane: the category header's summary line, the
// accessible names and hints of its switches and buttons, the source badges
// and the icons of the categories.
//
//   rulesSummary(3, 12, 57);                  // "3/12 rules · 57 matches"
//   ruleToggleHint(false, "Analytics");       // "The Analytics category is disabled."
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ScourletCore/rules/RuleCategoryType.h"
#include "ScourletCore/rules/RuleEntry.h"

namespace scourlet::app::rules_presentation {

// "<enabled>/<total> rules · <matches> matches".
std::string rulesSummary(std::int64_t enabled, std::size_t total, std::int64_t matches);
// "<count> matches".
std::string matchesText(std::int64_t count);

// "Expand <title> rules" or "Collapse <title> rules".
std::string expandLabel(std::string_view title, bool expanded);
// "Expanded" or "Collapsed".
std::string_view expandValue(bool expanded);
// "Enable <title> rules".
std::string categoryToggleLabel(std::string_view title);
// "Enable rule: <display name>".
std::string ruleToggleLabel(std::string_view displayName);
// Empty while the category is on; "The <title> category is disabled." while it is off.
std::string ruleToggleHint(bool categoryEnabled, std::string_view title);
// "On" or "Off".
std::string_view onOff(bool on);
// "Delete custom rule: <display name>".
std::string deleteLabel(std::string_view displayName);
inline constexpr std::string_view kDeleteHint = "Removes this custom rule from Scourlet.";
// What the actions cell of a rule that cannot be deleted reads as.
inline constexpr std::string_view kNoActionsLabel = "No actions for a built-in rule";

// The titles of the list's two columns, read by assistive tools (the list
// shows no header): the rows and their switches, then the buttons beside them.
inline constexpr std::string_view kRuleColumnTitle = "Rule";
inline constexpr std::string_view kActionsColumnTitle = "Actions";

// "ClearURLs", "Built-in" or "Custom": the source's raw value.
std::string_view badgeText(RuleEntry::RuleSource source);

// The freedesktop icon name shown beside the category.
std::string_view categoryThemeIcon(RuleCategoryType type);

}  // namespace scourlet::app::rules_presentation

// How serious a risky command that Command Guard found is.
//
// The cases are ordered info < warning < danger, so the built-in comparison
// operators of the enumeration compare severities, and a threshold test reads
// `severity >= threshold`. Stored warnings and settings carry the raw value
// ("info", "warning", "danger"), so the raw values must never change. The
// enumeration hashes with std::hash, so it can key a table of counts.
//
//   auto threshold =
//   commandRiskSeverityFromRawValue(stored).value_or(CommandRiskSeverity::warning); if
//   (finding.severity >= threshold) { ... } std::string_view raw =
//   rawValue(CommandRiskSeverity::danger);   // "danger"
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "ScourletCore/platform/Json.h"

namespace scourlet {

enum class CommandRiskSeverity {
    info,     // worth knowing, harmless on its own
    warning,  // changes the system or its security settings
    danger,   // runs code from elsewhere or destroys data
};

inline constexpr std::array<CommandRiskSeverity, 3> commandRiskSeverityAllCases{
    CommandRiskSeverity::info,
    CommandRiskSeverity::warning,
    CommandRiskSeverity::danger,
};

// "info", "warning" or "danger".
std::string_view rawValue(CommandRiskSeverity severity);

// The severity whose raw value is exactly `raw` (case-sensitive), or nothing
// for any other text.
std::optional<CommandRiskSeverity> commandRiskSeverityFromRawValue(std::string_view raw);

// Reads a severity from its raw value string; throws DecodingException for any
// other JSON value.
template <>
struct JsonValue<CommandRiskSeverity> {
    static CommandRiskSeverity decode(const Json& json, std::string_view context);
};

}  // namespace scourlet

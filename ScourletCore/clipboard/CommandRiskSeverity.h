// How serious a risky command that Command Guard found is.
//
// The cases are ordered info < warning < danger, so the built-in comparison
// operators of the enumeration compare severities, and a threshold test reads
// `severity >= threshold`. Stored warnings and settings carry the raw value
// ("info", "warning", "danger"), so the raw values must never change. The
// enumeration hashes with std::hash, so it can key a table of counts.
//
//   auto threshold = enumFromRawValue<CommandRiskSeverity>(stored).value_or(
//       CommandRiskSeverity::warning);
//   if (finding.severity >= threshold) { ... }
//   std::string_view raw = rawValue(CommandRiskSeverity::danger);   // "danger"
#pragma once

#include <array>

#include "ScourletCore/platform/RawValueEnum.h"

namespace scourlet {

enum class CommandRiskSeverity {
    info,     // worth knowing, harmless on its own
    warning,  // changes the system or its security settings
    danger,   // runs code from elsewhere or destroys data
};

template <>
struct RawValueTable<CommandRiskSeverity> {
    static constexpr std::string_view name = "command risk severity";
    static constexpr auto cases = std::to_array<RawValueCase<CommandRiskSeverity>>({
        {CommandRiskSeverity::info, "info"},
        {CommandRiskSeverity::warning, "warning"},
        {CommandRiskSeverity::danger, "danger"},
    });
};

}  // namespace scourlet

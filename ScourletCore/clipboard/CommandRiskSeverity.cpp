#include "ScourletCore/clipboard/CommandRiskSeverity.h"

#include <string>

namespace scourlet {

std::string_view rawValue(CommandRiskSeverity severity) {
    switch (severity) {
        case CommandRiskSeverity::info:
            return "info";
        case CommandRiskSeverity::warning:
            return "warning";
        case CommandRiskSeverity::danger:
            return "danger";
    }
    return {};
}

std::optional<CommandRiskSeverity> commandRiskSeverityFromRawValue(std::string_view raw) {
    for (CommandRiskSeverity severity : commandRiskSeverityAllCases) {
        if (rawValue(severity) == raw) {
            return severity;
        }
    }
    return std::nullopt;
}

CommandRiskSeverity JsonValue<CommandRiskSeverity>::decode(const Json& json,
                                                           std::string_view context) {
    if (!json.is_string()) {
        throwDecoding(context, "expected a command risk severity");
    }
    const auto& raw = json.get_ref<const std::string&>();
    const auto severity = commandRiskSeverityFromRawValue(raw);
    if (!severity) {
        throwDecoding(context, "unknown command risk severity \"" + raw + "\"");
    }
    return *severity;
}

}  // namespace scourlet

#include "ScourletCore/clipboard/CommandRiskResult.h"

#include <algorithm>

namespace scourlet {

std::optional<CommandRiskFinding> CommandRiskResult::primaryFinding() const {
    // min_element keeps the first of equal findings, as a stable sort would.
    const auto first = std::min_element(findings.begin(), findings.end(), precedesInFindingOrder);
    if (first == findings.end()) {
        return std::nullopt;
    }
    return *first;
}

Json CommandRiskResult::toJson() const {
    Json json = Json::object();
    json["command"] = command;
    json["severity"] = std::string(rawValue(severity));
    Json list = Json::array();
    for (const auto& finding : findings) {
        list.push_back(finding.toJson());
    }
    json["findings"] = std::move(list);
    json["rulesVersion"] = rulesVersion;
    return json;
}

std::string CommandRiskResult::encoded() const {
    return dumpJson(toJson());
}

CommandRiskResult CommandRiskResult::fromJson(const Json& json) {
    const JsonObjectReader object(json, "commandRisk");
    return CommandRiskResult{
        object.required<std::string>("command"),
        object.required<CommandRiskSeverity>("severity"),
        object.required<std::vector<CommandRiskFinding>>("findings"),
        object.required<std::string>("rulesVersion"),
    };
}

Result<CommandRiskResult, DecodingError> CommandRiskResult::decode(std::string_view text) {
    return decodeJson(text, [](const Json& json) { return fromJson(json); });
}

}  // namespace scourlet

#include "ScourletCore/clipboard/CommandRiskFinding.h"

namespace scourlet {

Json CommandRiskFinding::toJson() const {
    Json json = Json::object();
    json["id"] = id;
    json["platform"] = platform;
    json["severity"] = std::string(rawValue(severity));
    json["summary"] = summary;
    json["explanation"] = explanation;
    json["matchedText"] = matchedText;
    return json;
}

CommandRiskFinding CommandRiskFinding::fromJson(const Json& json) {
    const JsonObjectReader object(json, "finding");
    return CommandRiskFinding{
        object.required<std::string>("id"),
        object.required<std::string>("platform"),
        object.required<CommandRiskSeverity>("severity"),
        object.required<std::string>("summary"),
        object.required<std::string>("explanation"),
        object.required<std::string>("matchedText"),
    };
}

bool precedesInFindingOrder(const CommandRiskFinding& a, const CommandRiskFinding& b) {
    if (a.severity != b.severity) {
        return a.severity > b.severity;
    }
    // UTF-8 byte order is code point order.
    return a.id < b.id;
}

}  // namespace scourlet

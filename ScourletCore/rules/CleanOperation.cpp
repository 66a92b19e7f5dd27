#include "ScourletCore/rules/CleanOperation.h"

namespace scourlet {

Json CleanOperation::toJson() const {
    Json json = Json::object();
    json["kind"] = std::string(rawValue(kind));
    json["inputURL"] = inputURL;
    json["outputURL"] = outputURL;
    json["removedParameters"] = removedParameters;
    json["networkUsed"] = networkUsed;
    if (contactedHost) {
        json["contactedHost"] = *contactedHost;
    }
    if (note) {
        json["note"] = *note;
    }
    return json;
}

std::string CleanOperation::encoded() const {
    return dumpJson(toJson());
}

CleanOperation CleanOperation::fromJson(const Json& json) {
    const JsonObjectReader object(json, "operation");
    CleanOperation operation;
    operation.kind = object.required<CleanOperationKind>("kind");
    operation.inputURL = object.required<std::string>("inputURL");
    operation.outputURL = object.required<std::string>("outputURL");
    operation.removedParameters = object.required<std::vector<std::string>>("removedParameters");
    operation.networkUsed = object.required<bool>("networkUsed");
    operation.contactedHost = object.optional<std::string>("contactedHost");
    operation.note = object.optional<std::string>("note");
    return operation;
}

Result<CleanOperation, DecodingError> CleanOperation::decode(std::string_view text) {
    return decodeJson(text, [](const Json& json) { return fromJson(json); });
}

}  // namespace scourlet

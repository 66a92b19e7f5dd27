#include "ScourletCore/platform/Json.h"

#include <limits>

namespace scourlet {

void throwDecoding(std::string_view context, std::string_view what) {
    std::string message;
    if (!context.empty()) {
        message.append("\"").append(context).append("\": ");
    }
    message.append(what);
    throw DecodingException(message);
}

Result<Json, DecodingError> parseJson(std::string_view text) {
    try {
        return Json::parse(text.begin(), text.end());
    } catch (const Json::exception& e) {
        return DecodingError{e.what()};
    }
}

bool JsonValue<bool>::decode(const Json& json, std::string_view context) {
    if (!json.is_boolean()) {
        throwDecoding(context, "expected a Boolean");
    }
    return json.get<bool>();
}

std::int64_t JsonValue<std::int64_t>::decode(const Json& json, std::string_view context) {
    if (json.is_number_unsigned()) {
        const auto value = json.get<std::uint64_t>();
        if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            throwDecoding(context, "integer out of range");
        }
        return static_cast<std::int64_t>(value);
    }
    if (!json.is_number_integer()) {
        throwDecoding(context, "expected an integer");
    }
    return json.get<std::int64_t>();
}

double JsonValue<double>::decode(const Json& json, std::string_view context) {
    if (!json.is_number()) {
        throwDecoding(context, "expected a number");
    }
    return json.get<double>();
}

std::string JsonValue<std::string>::decode(const Json& json, std::string_view context) {
    if (!json.is_string()) {
        throwDecoding(context, "expected a string");
    }
    return json.get<std::string>();
}

JsonObjectReader::JsonObjectReader(const Json& json, std::string_view context) : json_(json) {
    if (!json.is_object()) {
        throwDecoding(context, "expected an object");
    }
}

const Json* JsonObjectReader::find(std::string_view key) const {
    auto it = json_.find(key);
    return it == json_.end() ? nullptr : &*it;
}

std::string dumpJson(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace scourlet

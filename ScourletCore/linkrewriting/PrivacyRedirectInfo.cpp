#include "ScourletCore/linkrewriting/PrivacyRedirectInfo.h"

namespace scourlet {

Json PrivacyRedirectInfo::toJson() const {
    Json json = Json::object();
    json["service"] = std::string(rawValue(service));
    json["originalHost"] = originalHost;
    json["frontendHost"] = frontendHost;
    return json;
}

PrivacyRedirectInfo PrivacyRedirectInfo::fromJson(const Json& json) {
    const JsonObjectReader object(json, "privacyRedirect");
    return PrivacyRedirectInfo{
        object.required<PrivacyRedirectService>("service"),
        object.required<std::string>("originalHost"),
        object.required<std::string>("frontendHost"),
    };
}

}  // namespace scourlet

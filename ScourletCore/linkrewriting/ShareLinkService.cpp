#include "ScourletCore/linkrewriting/ShareLinkService.h"

#include <string>

namespace scourlet {

std::string_view rawValue(ShareLinkService service) {
    switch (service) {
        case ShareLinkService::instagram:
            return "instagram";
        case ShareLinkService::threads:
            return "threads";
        case ShareLinkService::amazon:
            return "amazon";
    }
    return {};
}

std::optional<ShareLinkService> shareLinkServiceFromRawValue(std::string_view raw) {
    for (ShareLinkService service : shareLinkServiceAllCases) {
        if (rawValue(service) == raw) {
            return service;
        }
    }
    return std::nullopt;
}

Json toJson(ShareLinkService service) {
    return Json(std::string(rawValue(service)));
}

ShareLinkService JsonValue<ShareLinkService>::decode(const Json& json, std::string_view context) {
    if (!json.is_string()) {
        throwDecoding(context, "expected a share-link service");
    }
    const auto& raw = json.get_ref<const std::string&>();
    const auto service = shareLinkServiceFromRawValue(raw);
    if (!service) {
        throwDecoding(context, "unknown share-link service \"" + raw + "\"");
    }
    return *service;
}

}  // namespace scourlet

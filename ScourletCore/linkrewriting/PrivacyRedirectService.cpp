#include "ScourletCore/linkrewriting/PrivacyRedirectService.h"

#include <string>

namespace scourlet {

std::string_view rawValue(PrivacyRedirectService service) {
    switch (service) {
        case PrivacyRedirectService::xTwitter:
            return "xTwitter";
        case PrivacyRedirectService::reddit:
            return "reddit";
    }
    return {};
}

std::optional<PrivacyRedirectService> privacyRedirectServiceFromRawValue(std::string_view raw) {
    for (PrivacyRedirectService service : privacyRedirectServiceAllCases) {
        if (rawValue(service) == raw) {
            return service;
        }
    }
    return std::nullopt;
}

PrivacyRedirectService JsonValue<PrivacyRedirectService>::decode(const Json& json,
                                                                 std::string_view context) {
    if (!json.is_string()) {
        throwDecoding(context, "expected a privacy redirect service");
    }
    const auto& raw = json.get_ref<const std::string&>();
    const auto service = privacyRedirectServiceFromRawValue(raw);
    if (!service) {
        throwDecoding(context, "unknown privacy redirect service \"" + raw + "\"");
    }
    return *service;
}

}  // namespace scourlet

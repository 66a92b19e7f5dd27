#include "ScourletCore/linkrewriting/WaybackLinkBuilder.h"

#include "ScourletCore/config/ServiceConfiguration.h"
#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/URLComponents.h"

namespace scourlet {

std::optional<std::string> WaybackLinkBuilder::lookupURL(std::string_view link) {
    const std::string_view trimmed = trimmingWhitespaceAndNewlines(link);
    // The strict parse keeps the answer a valid URL: the link is appended as
    // it stands, so it must not hold anything a URL may not.
    const std::optional<URLComponents> url = URLComponents::parse(trimmed);
    if (!url) {
        return std::nullopt;
    }
    const std::optional<std::string_view> scheme = url->scheme();
    if (!scheme) {
        return std::nullopt;
    }
    const std::string lowered = asciiLowercased(*scheme);
    const std::optional<std::string_view> host = url->percentEncodedHost();
    if ((lowered != "http" && lowered != "https") || !host || host->empty()) {
        return std::nullopt;
    }
    return "https://" + std::string(config::kWaybackHost) + "/web/*/" + std::string(trimmed);
}

}  // namespace scourlet

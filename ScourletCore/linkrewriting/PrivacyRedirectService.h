// The services whose links can be rewritten to a privacy front-end.
//
// Stored clean results name the service by its raw value, so the raw values
// must never change.
//
//   auto service = privacyRedirectServiceFromRawValue("reddit");   // reddit
//   std::string_view raw = rawValue(PrivacyRedirectService::xTwitter);   // "xTwitter"
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "ScourletCore/platform/Json.h"

namespace scourlet {

enum class PrivacyRedirectService {
    xTwitter,
    reddit,
};

inline constexpr std::array<PrivacyRedirectService, 2> privacyRedirectServiceAllCases{
    PrivacyRedirectService::xTwitter,
    PrivacyRedirectService::reddit,
};

// "xTwitter" or "reddit".
std::string_view rawValue(PrivacyRedirectService service);

// The service whose raw value is exactly `raw` (case-sensitive), or nothing.
std::optional<PrivacyRedirectService> privacyRedirectServiceFromRawValue(std::string_view raw);

// Reads a service from its raw value string; throws DecodingException for any
// other JSON value.
template <>
struct JsonValue<PrivacyRedirectService> {
    static PrivacyRedirectService decode(const Json& json, std::string_view context);
};

}  // namespace scourlet

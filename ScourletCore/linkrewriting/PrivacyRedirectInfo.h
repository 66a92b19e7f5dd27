// What a privacy front-end rewrite did, as carried in a clean result.
//
// Its JSON form is an object with "service" (the service's raw value),
// "originalHost" and "frontendHost"; all three are always written and all
// three are required when read.
//
//   PrivacyRedirectInfo info{PrivacyRedirectService::reddit, "www.reddit.com", "redlib.example"};
//   Json json = info.toJson();
//   PrivacyRedirectInfo back = PrivacyRedirectInfo::fromJson(json);   // throws on bad input
#pragma once

#include <string>

#include "ScourletCore/linkrewriting/PrivacyRedirectService.h"
#include "ScourletCore/platform/Json.h"

namespace scourlet {

struct PrivacyRedirectInfo {
    PrivacyRedirectService service = PrivacyRedirectService::xTwitter;
    std::string originalHost{};  // lower-case host of the link before the rewrite
    std::string frontendHost{};  // lower-case host of the front-end

    bool operator==(const PrivacyRedirectInfo&) const = default;

    Json toJson() const;

    // Throws DecodingException when a key is missing, null or mistyped, or
    // "service" is not a known raw value. Use decodeJsonValue() to get a Result.
    static PrivacyRedirectInfo fromJson(const Json& json);
};

}  // namespace scourlet

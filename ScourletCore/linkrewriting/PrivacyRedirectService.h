// The services whose links can be rewritten to a privacy front-end.
//
// Stored clean results name the service by its raw value, so the raw values
// must never change.
//
//   auto service = enumFromRawValue<PrivacyRedirectService>("reddit");   // reddit
//   std::string_view raw = rawValue(PrivacyRedirectService::xTwitter);  // "xTwitter"
#pragma once

#include <array>

#include "ScourletCore/platform/RawValueEnum.h"

namespace scourlet {

enum class PrivacyRedirectService {
    xTwitter,
    reddit,
};

template <>
struct RawValueTable<PrivacyRedirectService> {
    static constexpr std::string_view name = "privacy redirect service";
    static constexpr auto cases = std::to_array<RawValueCase<PrivacyRedirectService>>({
        {PrivacyRedirectService::xTwitter, "xTwitter"},
        {PrivacyRedirectService::reddit, "reddit"},
    });
};

}  // namespace scourlet

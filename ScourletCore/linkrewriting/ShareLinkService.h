// The services whose share links can be resolved over the network.
//
// The raw values name a service wherever it is stored or sent, so they must
// never change.
//
//   auto service = shareLinkServiceFromRawValue("threads");      // threads
//   std::string_view raw = rawValue(ShareLinkService::amazon);   // "amazon"
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "ScourletCore/platform/Json.h"

namespace scourlet {

enum class ShareLinkService {
    instagram,
    threads,
    amazon,
};

inline constexpr std::array<ShareLinkService, 3> shareLinkServiceAllCases{
    ShareLinkService::instagram,
    ShareLinkService::threads,
    ShareLinkService::amazon,
};

// "instagram", "threads" or "amazon".
std::string_view rawValue(ShareLinkService service);

// The service whose raw value is exactly `raw` (case-sensitive), or nothing.
std::optional<ShareLinkService> shareLinkServiceFromRawValue(std::string_view raw);

// The service as its raw value, a JSON string.
Json toJson(ShareLinkService service);

// Reads a service from its raw value string; throws DecodingException for any
// other JSON value.
template <>
struct JsonValue<ShareLinkService> {
    static ShareLinkService decode(const Json& json, std::string_view context);
};

}  // namespace scourlet

// The services whose share links can be resolved over the network.
//
// The raw values name a service wherever it is stored or sent, so they must
// never change.
//
//   auto service = enumFromRawValue<ShareLinkService>("threads");   // threads
//   std::string_view raw = rawValue(ShareLinkService::amazon);      // "amazon"
//   Json json = toJson(ShareLinkService::instagram);                // "instagram"
#pragma once

#include <array>

#include "ScourletCore/platform/RawValueEnum.h"

namespace scourlet {

enum class ShareLinkService {
    instagram,
    threads,
    amazon,
};

template <>
struct RawValueTable<ShareLinkService> {
    static constexpr std::string_view name = "share-link service";
    static constexpr auto cases = std::to_array<RawValueCase<ShareLinkService>>({
        {ShareLinkService::instagram, "instagram"},
        {ShareLinkService::threads, "threads"},
        {ShareLinkService::amazon, "amazon"},
    });
};

}  // namespace scourlet

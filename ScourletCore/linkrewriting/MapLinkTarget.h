// The map service that a converted map link opens in.
//
// Stored and coded as its raw value ("appleMaps", "googleMaps"), so the raw
// values never change.
//
//   auto target = enumFromRawValue<MapLinkTarget>("googleMaps");
#pragma once

#include <array>
#include <string_view>

#include "ScourletCore/platform/RawValueEnum.h"

namespace scourlet {

enum class MapLinkTarget {
    appleMaps,   // the link was converted to Apple Maps
    googleMaps,  // the link was converted to Google Maps
};

template <>
struct RawValueTable<MapLinkTarget> {
    static constexpr std::string_view name = "map link target";
    static constexpr auto cases = std::to_array<RawValueCase<MapLinkTarget>>({
        {MapLinkTarget::appleMaps, "appleMaps"},
        {MapLinkTarget::googleMaps, "googleMaps"},
    });
};

}  // namespace scourlet

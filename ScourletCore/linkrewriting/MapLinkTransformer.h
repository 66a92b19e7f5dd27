// MapLinkTransformer: converts a map link between Apple Maps and Google Maps,
// offline.
//
// Only a few well-understood shapes are converted: directions (from, to and
// travel mode), a place by coordinates (with a search text and zoom) and a
// search. A link of any other shape, or one carrying a parameter the shape
// does not name, is left alone, so nothing the converter does not understand
// is silently dropped. Only "https" links without user, password or port
// qualify: on the Apple Maps host, or on the Google domain under .com, its
// subdomains, or the "www." form of a Google country domain.
//
//   auto converted = MapLinkTransformer::transform(
//       "https://maps.apple.com/?ll=52.5,13.4&q=Cafe&z=15");
//   // converted->url: "https://www.google.com/maps/search/Cafe/@52.5,13.4,15z"
//   // converted->operation.note: "Open in Google Maps"
//
// Coordinates and zoom levels are finite decimal numbers ("52.5", "-0.1e1"),
// read the same whatever the process's locale; "nan", "inf" and hexadecimal
// forms are refused. A search text that goes into a path segment is escaped
// there ("/" as "%2F"), so it stays one segment and converts back unchanged.
#pragma once

#include <optional>
#include <string_view>

#include "ScourletCore/linkrewriting/MapLinkTransformation.h"

namespace scourlet {

class MapLinkTransformer {
public:
    MapLinkTransformer() = delete;

    static constexpr std::string_view openInGoogleMapsNote = "Open in Google Maps";
    static constexpr std::string_view openInAppleMapsNote = "Open in Apple Maps";

    // The link converted to the other service, or nothing when it is no map
    // link of a shape the converter knows. Pure; never fails otherwise.
    static std::optional<MapLinkTransformation> transform(std::string_view link);
};

}  // namespace scourlet

// A map link converted to the other map service: where it now opens, the new
// link, and the record of the conversion that joins the steps of the last
// clean (a local "functional_transformation").
//
//   if (auto converted = MapLinkTransformer::transform(link)) {
//       open(converted->url);
//       monitor.recordFunctionalTransformation(converted->operation);
//   }
#pragma once

#include <string>

#include "ScourletCore/linkrewriting/MapLinkTarget.h"
#include "ScourletCore/rules/CleanOperation.h"

namespace scourlet {

struct MapLinkTransformation {
    MapLinkTarget target = MapLinkTarget::googleMaps;
    std::string url{};  // the converted link
    CleanOperation operation{};

    bool operator==(const MapLinkTransformation&) const = default;
};

}  // namespace scourlet

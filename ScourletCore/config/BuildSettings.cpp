#include "ScourletCore/config/BuildSettings.h"

// Only this file sees the compile definition, so a new host rebuilds one file.
#ifndef SCOURLET_MAKER_HOST
#error "SCOURLET_MAKER_HOST must be defined by the build"
#endif

namespace scourlet::config {

const std::string_view kMakerHost = SCOURLET_MAKER_HOST;

}  // namespace scourlet::config

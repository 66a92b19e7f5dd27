// Values chosen when the build is configured rather than in the code: the
// maker's host that serves the signed privacy-services catalog and the rule
// feed. Set it with the CMake cache variable SCOURLET_MAKER_HOST; tests hand
// their own host to the objects they build instead of reading this one.
//
//   std::string endpoint = "https://" + std::string(config::kMakerHost) +
//   "/privacy-services/current.json";
#pragma once

#include <string_view>

namespace scourlet::config {

// Lower-case host name, no scheme, port, path or trailing dot (the build
// refuses anything else), e.g. "updates.morrowgate.com".
extern const std::string_view kMakerHost;

}  // namespace scourlet::config

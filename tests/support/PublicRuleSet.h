#pragma once

#include <optional>
#include <string>

namespace scourlet::testing {

// The public ClearURLs providers file kept beside the repository (or in the
// folder the environment variable SCOURLET_SHARED_DATA_DIR names); nothing
// when this checkout has none. Tests that need it skip with
// kPublicRuleSetMissing.
std::optional<std::string> publicRuleSet();

inline constexpr const char* kPublicRuleSetMissing =
    "the public ClearURLs rule set (shared/data/clearurls/data.min.json) is not beside this checkout";

}  // namespace scourlet::testing

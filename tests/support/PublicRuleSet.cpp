#include "support/PublicRuleSet.h"

#include <cstdlib>
#include <filesystem>

#include "support/TempDir.h"

namespace scourlet::testing {

std::optional<std::string> publicRuleSet() {
    const char* override = std::getenv("SCOURLET_SHARED_DATA_DIR");
    const std::filesystem::path folder =
        override != nullptr && override[0] != '\0' ? override : SCOURLET_SHARED_DATA_DIR;
    std::string data = readFile(folder / "clearurls" / "data.min.json");
    if (data.empty()) {
        return std::nullopt;
    }
    return data;
}

}  // namespace scourlet::testing

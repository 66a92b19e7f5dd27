// Shared pieces of the fuzz targets: a property check that stops the run with
// the failing input, and the shipped resources.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "ScourletCore/platform/ResourceBundle.h"

namespace scourlet::fuzz {

// Stops the run when a property does not hold; libFuzzer then saves the input.
#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)

// The shipped resources, straight from the source tree.
inline std::filesystem::path resourcesFolder() {
    return std::filesystem::path(SCOURLET_SOURCE_DIR) / "ScourletCore" / "Resources";
}

inline const ResourceBundle& shippedResources() {
    static const ResourceBundle bundle(resourcesFolder());
    return bundle;
}

inline std::string_view asText(const unsigned char* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace scourlet::fuzz

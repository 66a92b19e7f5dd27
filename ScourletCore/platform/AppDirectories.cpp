#include "ScourletCore/platform/AppDirectories.h"

#include <cstdlib>

namespace scourlet {

namespace {

// An environment variable that names an absolute path; an unset, empty or
// relative value counts as missing.
std::optional<std::filesystem::path> absolutePathFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return std::nullopt;
    }
    return std::filesystem::path(value);
}

std::optional<std::filesystem::path> xdgHome(const char* variable, const char* homeRelative) {
    if (auto explicitHome = absolutePathFromEnvironment(variable)) {
        return explicitHome;
    }
    if (auto home = absolutePathFromEnvironment("HOME")) {
        return *home / homeRelative;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::filesystem::path> xdgConfigHome() {
    return xdgHome("XDG_CONFIG_HOME", ".config");
}

std::optional<std::filesystem::path> xdgDataHome() {
    return xdgHome("XDG_DATA_HOME", ".local/share");
}

std::optional<std::filesystem::path> applicationSupportDirectory() {
    return xdgDataHome();
}

std::optional<std::filesystem::path> appGroupContainer(std::string_view groupIdentifier) {
    if (groupIdentifier.empty() || groupIdentifier == "." || groupIdentifier == ".." ||
        groupIdentifier.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
        return std::nullopt;
    }
    auto dataHome = xdgDataHome();
    if (!dataHome) {
        return std::nullopt;
    }
    return *dataHome / groupIdentifier;
}

}  // namespace scourlet

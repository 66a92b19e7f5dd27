#include "ScourletCore/platform/ResourceBundle.h"

#include "ScourletCore/platform/BoundedFileRead.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <system_error>

namespace scourlet {

namespace fs = std::filesystem;

// The installed data folder seen from the installed programs' folder; the
// build sets it from the installation folders.
#ifndef SCOURLET_DATA_FROM_PROGRAMS
#define SCOURLET_DATA_FROM_PROGRAMS "../share/scourlet"
#endif

namespace {

// Far above any file we ship (rule files are a few hundred kilobytes).
constexpr std::size_t kMaxResourceBytes = 64 * 1024 * 1024;

bool isBundleFolder(const fs::path& candidate) {
    std::error_code ec;
    return fs::is_directory(candidate, ec);
}

// The three places a bundle may sit relative to a base folder, in search order.
std::optional<fs::path> searchCandidates(const std::optional<fs::path>& base) {
    if (!base) {
        return std::nullopt;
    }
    const std::array<fs::path, 3> candidates = {
        *base / kResourceBundleName,
        *base / "Contents" / "Resources" / kResourceBundleName,
        *base / "Frameworks" / kResourceBundleName,
    };
    for (const auto& candidate : candidates) {
        if (isBundleFolder(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::optional<fs::path> appended(const std::optional<fs::path>& base) {
    if (!base) {
        return std::nullopt;
    }
    fs::path candidate = *base / kResourceBundleName;
    return isBundleFolder(candidate) ? std::optional(candidate) : std::nullopt;
}

std::optional<fs::path> executableFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) {
        return std::nullopt;
    }
    return exe.parent_path();
}

int collectLoadedObject(dl_phdr_info* info, size_t /*size*/, void* data) {
    auto* folders = static_cast<std::vector<fs::path>*>(data);
    if (info->dlpi_name != nullptr && info->dlpi_name[0] == '/') {
        fs::path folder = fs::path(info->dlpi_name).parent_path();
        if (std::find(folders->begin(), folders->end(), folder) == folders->end()) {
            folders->push_back(std::move(folder));
        }
    }
    return 0;
}

void codeAnchor() {}

}  // namespace

BundleSearchLocations BundleSearchLocations::currentProcess() {
    BundleSearchLocations where;
    if (const char* override = std::getenv(kResourceBundleEnvironmentVariable);
        override != nullptr && override[0] != '\0') {
        where.overrideBundle = fs::path(override);
    }
    where.mainLocation = executableFolder();
    if (where.mainLocation) {
        where.mainResourceLocation =
            (*where.mainLocation / SCOURLET_DATA_FROM_PROGRAMS).lexically_normal();
    }
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&codeAnchor), &info) != 0 && info.dli_fname != nullptr &&
        info.dli_fname[0] == '/') {
        where.codeResourceLocation = fs::path(info.dli_fname).parent_path();
    }
    dl_iterate_phdr(&collectLoadedObject, &where.loadedObjectLocations);
    return where;
}

std::optional<fs::path> findPackageResourceBundle(const BundleSearchLocations& where) {
    if (where.overrideBundle && isBundleFolder(*where.overrideBundle)) {
        return where.overrideBundle;
    }
    for (const auto* base :
         {&where.mainResourceLocation, &where.codeResourceLocation, &where.mainLocation}) {
        if (auto found = appended(*base)) {
            return found;
        }
    }
    return std::nullopt;
}

std::optional<fs::path> findCleanLinkResources(const BundleSearchLocations& where) {
    if (where.overrideBundle && isBundleFolder(*where.overrideBundle)) {
        return where.overrideBundle;
    }
    if (auto found = searchCandidates(where.mainResourceLocation)) {
        return found;
    }
    if (auto found = searchCandidates(where.mainLocation)) {
        return found;
    }
    for (const auto& location : where.loadedObjectLocations) {
        if (location.filename() == kResourceBundleName && isBundleFolder(location)) {
            return location;
        }
        if (auto found = searchCandidates(location)) {
            return found;
        }
    }
    return findPackageResourceBundle(where);
}

std::optional<fs::path> ResourceBundle::urlForResource(std::string_view name,
                                                       std::string_view extension) const {
    std::string file(name);
    if (!extension.empty()) {
        file.append(".").append(extension);
    }
    fs::path candidate = root_ / file;
    std::error_code ec;
    if (!fs::is_regular_file(candidate, ec)) {
        return std::nullopt;
    }
    return candidate;
}

std::optional<std::string> ResourceBundle::dataForResource(std::string_view name,
                                                           std::string_view extension) const {
    auto url = urlForResource(name, extension);
    if (!url) {
        return std::nullopt;
    }
    return readFileAtMost(*url, kMaxResourceBytes);
}

const ResourceBundle* ResourceBundle::cleanLinkResources() {
    // A function-local static gives the one-time, thread-safe initialization.
    static const std::optional<ResourceBundle> bundle = []() -> std::optional<ResourceBundle> {
        if (auto path = findCleanLinkResources(BundleSearchLocations::currentProcess())) {
            return ResourceBundle(*path);
        }
        return std::nullopt;
    }();
    return bundle ? &*bundle : nullptr;
}

const ResourceBundle* ResourceBundle::packageResourceBundle() {
    static const std::optional<ResourceBundle> bundle = []() -> std::optional<ResourceBundle> {
        if (auto path = findPackageResourceBundle(BundleSearchLocations::currentProcess())) {
            return ResourceBundle(*path);
        }
        return std::nullopt;
    }();
    return bundle ? &*bundle : nullptr;
}

}  // namespace scourlet

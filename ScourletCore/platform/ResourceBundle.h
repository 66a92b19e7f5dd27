// The core's resource bundle: the folder "Scourlet_ScourletCore.bundle" that
// holds the shipped rule files and key sets.
//
// The build copies it beside the built programs; an installation puts it under
// <prefix>/share/scourlet, found from the installed programs' folder
// (<prefix>/bin/../share/scourlet). The environment
// variable SCOURLET_RESOURCE_BUNDLE names a bundle folder that wins over every
// other location (tests, packaging checks).
//
//   if (const ResourceBundle* bundle = ResourceBundle::cleanLinkResources()) {
//       auto rules = bundle->dataForResource("data.min", "json");
//   }
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scourlet {

inline constexpr std::string_view kResourceBundleName = "Scourlet_ScourletCore.bundle";
inline constexpr const char* kResourceBundleEnvironmentVariable = "SCOURLET_RESOURCE_BUNDLE";

class ResourceBundle {
public:
    explicit ResourceBundle(std::filesystem::path root) : root_(std::move(root)) {}

    const std::filesystem::path& path() const { return root_; }

    // The file "<name>.<extension>" (or "<name>" when `extension` is empty) at the
    // top of the bundle; nothing when no regular file is there.
    std::optional<std::filesystem::path> urlForResource(std::string_view name,
                                                        std::string_view extension) const;

    // The whole content of that file; nothing when it is missing or unreadable.
    std::optional<std::string> dataForResource(std::string_view name,
                                               std::string_view extension) const;

    // The wide lookup used for rule files and key sets. Computed once per process;
    // nullptr when no bundle is found anywhere (callers treat that as a missing
    // resource, never as a crash).
    static const ResourceBundle* cleanLinkResources();

    // The narrow lookup (main resource folder, the folder of the code, the main
    // folder). Computed once per process; nullptr when not found.
    static const ResourceBundle* packageResourceBundle();

private:
    std::filesystem::path root_;
};

// Where a process looks for its bundle. The Apple terms map to Linux as follows:
// the main bundle is the folder of the running program, its resource folder is
// <program folder>/../share/scourlet, loaded bundles are the folders of the loaded
// shared objects, and the code's bundle is the folder of the object that holds
// the core library.
struct BundleSearchLocations {
    std::optional<std::filesystem::path> overrideBundle;
    std::optional<std::filesystem::path> mainResourceLocation;
    std::optional<std::filesystem::path> mainLocation;
    std::optional<std::filesystem::path> codeResourceLocation;
    std::vector<std::filesystem::path> loadedObjectLocations;

    static BundleSearchLocations currentProcess();
};

// The pure searches behind the two lookups, for tests and tools.
std::optional<std::filesystem::path> findCleanLinkResources(const BundleSearchLocations& where);
std::optional<std::filesystem::path> findPackageResourceBundle(const BundleSearchLocations& where);

}  // namespace scourlet

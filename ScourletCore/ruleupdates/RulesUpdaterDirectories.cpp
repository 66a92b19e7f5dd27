// Where the rules updater keeps installed rules. Apart from the rest of the
// updater, so that a program that only reads installed rules (the scourlet
// tool) does not link the network code the updater uses.
#include "ScourletCore/ruleupdates/RulesUpdater.h"

#include <system_error>

#include "ScourletCore/platform/AppDirectories.h"
#include "ScourletCore/platform/AtomicFileWrite.h"
#include "ScourletCore/platform/BoundedFileRead.h"
#include "ScourletCore/platform/Diagnostics.h"

namespace scourlet {

namespace {

constexpr std::string_view kProductFolder = "com.morrowgate.scourlet";
constexpr std::string_view kLegacyProductFolder = "com.quenby.scourlet";
constexpr std::string_view kRulesFileName = "data.min.json";

}  // namespace

std::optional<std::filesystem::path> RulesUpdater::rulesRootURL() {
    if (auto support = applicationSupportDirectory()) {
        return *support / kProductFolder / "rules";
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> RulesUpdater::defaultActiveRulesDirectoryURL() {
    if (auto root = rulesRootURL()) {
        return *root / "active";
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> RulesUpdater::defaultPreviousRulesDirectoryURL() {
    if (auto root = rulesRootURL()) {
        return *root / "previous";
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> RulesUpdater::activeRulesDirectoryURL() const {
    if (installedRulesRoot_) {
        return *installedRulesRoot_ / "active";
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> RulesUpdater::previousRulesDirectoryURL() const {
    if (installedRulesRoot_) {
        return *installedRulesRoot_ / "previous";
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> RulesUpdater::appSupportRulesURL() {
    const auto support = applicationSupportDirectory();
    if (!support) {
        return std::nullopt;
    }
    const std::filesystem::path folder = *support / kProductFolder;
    const std::filesystem::path current = folder / kRulesFileName;
    const std::filesystem::path legacy = *support / kLegacyProductFolder / kRulesFileName;

    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(current, error))) {
        return current;
    }
    if (!std::filesystem::exists(std::filesystem::symlink_status(legacy, error))) {
        return current;
    }
    auto skipped = [](const std::string& reason) {
        printDiagnostic("RulesUpdater: legacy rules migration skipped \u2014 " + reason);
    };
    // Something else may have put the old file there: read only a regular file
    // of bounded size, never through a link (a pipe would block the read, a
    // link could point anywhere).
    const auto bytes = readFileAtMost(legacy, kLegacyRulesFileCap, SymlinkPolicy::refuse);
    if (!bytes) {
        skipped(legacy.string() + " is not a regular file of at most 4 MiB");
        return current;
    }
    std::filesystem::create_directories(folder, error);
    if (error) {
        skipped(folder.string() + ": " + error.message());
        return current;
    }
    if (auto written = writeFileAtomically(current, *bytes); !written) {
        skipped(written.error().message);
    }
    return current;
}

}  // namespace scourlet

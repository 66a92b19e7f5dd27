#include "app/settings/RulesFileTransfer.h"

#include <system_error>

#include "ScourletCore/platform/BoundedFileRead.h"
#include "app/settings/RulesDocument.h"

namespace scourlet::app {

namespace {

std::string quotedName(const std::filesystem::path& file) {
    return "\u201C" + file.filename().string() + "\u201D";
}

}  // namespace

std::optional<std::string> importRulesFile(RulesEngine& engine, const std::filesystem::path& file) {
    const std::optional<std::string> data = readFileAtMost(file, kMaxRulesImportBytes);
    if (!data) {
        std::error_code error;
        const auto size = std::filesystem::file_size(file, error);
        if (!error && size > kMaxRulesImportBytes) {
            return quotedName(file) + " is larger than 4 MiB, too large for a Scourlet rules export.";
        }
        return quotedName(file) + " could not be read.";
    }
    const auto imported = engine.importRules(*data);
    if (!imported || imported->categoriesApplied == 0) {
        return std::string(kNotARulesExport);
    }
    return std::nullopt;
}

std::optional<std::string> writeRulesExport(const std::optional<std::string>& encoded,
                                            const QString& path) {
    if (!encoded) {
        return "The rules could not be encoded, so no file was written.";
    }
    return RulesDocument{*encoded}.write(path);
}

}  // namespace scourlet::app

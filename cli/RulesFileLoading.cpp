#include "cli/RulesFileLoading.h"

#include <algorithm>
#include <cstdint>

#include "ScourletCore/platform/BoundedFileRead.h"
#include "ScourletCore/rules/ProvidersFile.h"
#include "ScourletCore/rules/UncompiledPattern.h"
#include "cli/CleanNotes.h"

namespace scourlet::cli {

namespace {

// Rules files are a few hundred kilobytes; anything far larger is a mistake.
constexpr std::uintmax_t kMaxRulesFileBytes = 16 * 1024 * 1024;

}  // namespace

Result<std::string, Error> readRulesFile(const std::filesystem::path& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        return Error{"cannot read rules file " + path.string() + ": " + ec.message()};
    }
    if (size > kMaxRulesFileBytes) {
        return Error{"rules file " + path.string() + " is larger than 16 MiB"};
    }
    auto data = readFileAtMost(path, kMaxRulesFileBytes);
    if (!data) {
        return Error{"cannot read rules file " + path.string()};
    }
    if (auto decoded = ProvidersFile::decode(*data); !decoded) {
        return Error{path.string() + " is not a providers file: " + decoded.error().message};
    }
    return std::move(*data);
}

std::string patternWarnings(
    const std::filesystem::path& path, std::string_view data,
    std::span<const std::shared_ptr<const RulesEngine::CompiledProvider>> compiled) {
    const auto file = ProvidersFile::decode(data);
    if (!file) {
        return {};
    }
    const std::vector<UncompiledPattern> lost = uncompiledPatterns(*file, compiled);
    // One line per provider, naming each pattern it lost (on one line: a
    // pattern may hold a line break).
    std::string warnings;
    for (auto each = lost.begin(); each != lost.end();) {
        const auto providerEnd = std::find_if(each, lost.end(), [&](const UncompiledPattern& next) {
            return next.provider != each->provider;
        });
        warnings.append("scourlet: warning: ")
            .append(path.string())
            .append(": provider \"")
            .append(oneLine(each->provider))
            .append("\" ");
        if (each->field == "urlPattern") {
            warnings.append("is left out: its urlPattern \"")
                .append(oneLine(each->pattern))
                .append("\" does not compile\n");
        } else {
            const auto count = static_cast<std::size_t>(providerEnd - each);
            warnings
                .append(count == 1 ? "lost 1 pattern"
                                   : "lost " + std::to_string(count) + " patterns")
                .append(" that do")
                .append(count == 1 ? "es" : "")
                .append(" not compile:");
            for (auto pattern = each; pattern != providerEnd; ++pattern) {
                warnings.append(pattern == each ? " " : ", ")
                    .append(pattern->field)
                    .append(" \"")
                    .append(oneLine(pattern->pattern))
                    .append("\"");
            }
            warnings.push_back('\n');
        }
        each = providerEnd;
    }
    return warnings;
}

}  // namespace scourlet::cli

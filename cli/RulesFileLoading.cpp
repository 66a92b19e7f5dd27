#include "cli/RulesFileLoading.h"

#include <algorithm>
#include <cstdint>

#include "ScourletCore/platform/BoundedFileRead.h"
#include "ScourletCore/rules/ProvidersFile.h"

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
    const std::vector<std::shared_ptr<const RulesEngine::CompiledProvider>>& compiled,
    std::size_t from) {
    const auto file = ProvidersFile::decode(data);
    if (!file) {
        return {};
    }
    std::string warnings;
    for (const auto& [name, provider] : file->providers()) {
        const std::string& providerName = name;  // a lambda may not capture a binding
        const auto found =
            std::find_if(compiled.begin() + static_cast<std::ptrdiff_t>(from), compiled.end(),
                         [&](const auto& each) { return each->name == providerName; });
        const std::string start =
            "scourlet: warning: " + path.string() + ": provider \"" + name + "\" ";
        if (found == compiled.end()) {
            warnings.append(start).append("is left out: its urlPattern does not compile\n");
            continue;
        }
        const RulesEngine::CompiledProvider& kept = **found;
        const std::size_t given = provider.exceptions().size() + provider.rules().size() +
                                  provider.rawRules().size() + provider.redirections().size() +
                                  provider.referralMarketing().size();
        const std::size_t left = kept.exceptionRegexes.size() + kept.paramRegexes.size() +
                                 kept.rawRuleRegexes.size() + kept.redirectionRegexes.size() +
                                 kept.referralParamRegexes.size();
        if (left < given) {
            const std::size_t lost = given - left;
            warnings.append(start)
                .append(lost == 1
                            ? "lost 1 pattern that does not compile"
                            : "lost " + std::to_string(lost) + " patterns that do not compile")
                .push_back('\n');
        }
    }
    return warnings;
}

}  // namespace scourlet::cli

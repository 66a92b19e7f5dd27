// Rules files named on the scourlet tool's command line: reading one, and
// saying which of its providers the engine could not use whole.
//
//   auto data = readRulesFile("my-rules.json");
//   if (data) { engine.loadRules(*data); err << patternWarnings(path, *data,
//   engine.compiledProviders(), 0); }
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/platform/Result.h"
#include "ScourletCore/rules/RulesEngine.h"

namespace scourlet::cli {

// The text of the providers file at `path`. Fails, naming the file, when it
// cannot be read, is larger than 16 MiB or is not a providers file.
Result<std::string, Error> readRulesFile(const std::filesystem::path& path);

// One warning line for each provider of `data` (the providers file read from
// `path`) that the engine left out because its URL pattern does not compile,
// or compiled without some of its patterns; `compiled` from index `from` on
// are the providers the engine made of that file. Empty when all are whole.
std::string patternWarnings(
    const std::filesystem::path& path, std::string_view data,
    const std::vector<std::shared_ptr<const RulesEngine::CompiledProvider>>& compiled,
    std::size_t from);

}  // namespace scourlet::cli

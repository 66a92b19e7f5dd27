// The patterns of a rule file that the rules engine cannot compile.
//
// The engine cleans without such a pattern and says nothing (a provider whose
// "urlPattern" does not compile is left out whole), so whoever writes or
// publishes a rule file asks here which patterns that would be.
//
//   auto lost = uncompiledPatterns(bytes);   // or (file, engine.compiledProviders())
//   if (!lost) return lost.error();  // not a providers file
//   for (const UncompiledPattern& each : *lost) report(each.provider, each.field, each.pattern);
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/Result.h"
#include "ScourletCore/rules/ProvidersFile.h"
#include "ScourletCore/rules/RulesEngine.h"

namespace scourlet {

// One pattern of a providers file that RulesEngine leaves out when it loads the file.
struct UncompiledPattern {
    std::string provider;  // the provider's key in the file
    // The key that holds it: "urlPattern", "rules", "rawRules",
    // "referralMarketing", "exceptions" or "redirections".
    std::string field;
    std::string pattern;  // as written in the file

    bool operator==(const UncompiledPattern&) const = default;
};

// Every pattern of the providers file `bytes` that RulesEngine, compiling it
// exactly as it does for cleaning, leaves out: providers in file order, and
// within one the fields in the order above and each list in its order. Of a
// provider left out for its "urlPattern" only that pattern is named (the rest
// is never compiled). Empty when everything compiles. Fails with the
// decoding error when `bytes` is not a providers file (ProvidersFile::decode).
// Loads the file into a scratch engine over an empty in-memory store, so it
// costs one load of the file and touches no settings.
Result<std::vector<UncompiledPattern>, DecodingError> uncompiledPatterns(std::string_view bytes);

// The same for `file` once an engine has loaded it, without loading it again:
// `compiled` are the providers that engine made of `file` (for supplementary
// rules, those after the ones it held before).
std::vector<UncompiledPattern> uncompiledPatterns(
    const ProvidersFile& file,
    std::span<const std::shared_ptr<const RulesEngine::CompiledProvider>> compiled);

}  // namespace scourlet

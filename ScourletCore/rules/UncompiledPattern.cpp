#include "ScourletCore/rules/UncompiledPattern.h"

#include <algorithm>
#include <memory>

#include "ScourletCore/platform/InMemoryUserDefaults.h"

namespace scourlet {

namespace {

// Adds to `lost` each of `written` that `kept` lacks. The engine keeps the
// patterns that compile in the file's order, so `kept` is a subsequence of
// `written` and one pass pairs them.
template <class Kept, class PatternOf>
void addLeftOut(const std::string& provider, std::string_view field,
                const std::vector<std::string>& written, const std::vector<Kept>& kept,
                PatternOf patternOf, std::vector<UncompiledPattern>& lost) {
    auto next = kept.begin();
    for (const std::string& pattern : written) {
        if (next != kept.end() && patternOf(*next) == pattern) {
            ++next;
        } else {
            lost.push_back({provider, std::string(field), pattern});
        }
    }
}

}  // namespace

Result<std::vector<UncompiledPattern>, DecodingError> uncompiledPatterns(std::string_view bytes) {
    auto file = ProvidersFile::decode(bytes);
    if (!file) {
        return file.error();
    }
    // What the engine keeps is the one word on what compiles: the rules below
    // (anchoring, case, the ICU dialect) are its own.
    RulesEngine engine(std::make_shared<InMemoryUserDefaults>(), nullptr);
    engine.loadRules(bytes);
    return uncompiledPatterns(*file, engine.compiledProviders());
}

std::vector<UncompiledPattern> uncompiledPatterns(
    const ProvidersFile& file,
    std::span<const std::shared_ptr<const RulesEngine::CompiledProvider>> compiled) {
    const auto regexPattern = [](const Regex& regex) -> const std::string& {
        return regex.pattern();
    };
    const auto rulePattern = [](const RulesEngine::CompiledPattern& rule) -> const std::string& {
        return rule.pattern;
    };
    std::vector<UncompiledPattern> lost;
    for (const auto& [name, provider] : file.providers()) {
        const std::string& providerName = name;  // a lambda may not capture a binding
        const auto found = std::find_if(compiled.begin(), compiled.end(), [&](const auto& each) {
            return each->name == providerName;
        });
        if (found == compiled.end()) {
            lost.push_back({name, "urlPattern", provider.urlPattern()});
            continue;
        }
        const RulesEngine::CompiledProvider& kept = **found;
        addLeftOut(name, "rules", provider.rules(), kept.paramRegexes, rulePattern, lost);
        addLeftOut(name, "rawRules", provider.rawRules(), kept.rawRuleRegexes, rulePattern, lost);
        addLeftOut(name, "referralMarketing", provider.referralMarketing(),
                   kept.referralParamRegexes, rulePattern, lost);
        addLeftOut(name, "exceptions", provider.exceptions(), kept.exceptionRegexes, regexPattern,
                   lost);
        addLeftOut(name, "redirections", provider.redirections(), kept.redirectionRegexes,
                   rulePattern, lost);
    }
    return lost;
}

}  // namespace scourlet

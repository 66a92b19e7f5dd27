// Private to the rules engine: the expression of a rule that names one whole
// parameter literally (the built-in fallback names and the custom rules).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/platform/Regex.h"

namespace scourlet::internal {

// "^" + `name` with every metacharacter escaped + "$", case-insensitive: it
// matches a parameter name equal to `name` ignoring case. Nothing when it does
// not compile (text that is not UTF-8).
inline std::optional<Regex> compileLiteralNameRule(std::string_view name) {
    std::string pattern = "^";
    pattern.append(Regex::escapedPattern(name)).append("$");
    return Regex::compile(pattern, RegexOptions::caseInsensitive);
}

}  // namespace scourlet::internal

// Rewrites a regular expression written for ICU into the PCRE2 syntax with
// the same meaning, for the few constructs where the two differ.
//
// Rewritten:
//   \uhhhh        -> \x{hhhh}        (PCRE2 rejects \u unless ALT_BSUX is on,
//   \Uhhhhhhhh    -> \x{hhhhhhhh}     and ALT_BSUX would in turn break \x{...})
//   \0ooo         -> \o{ooo}         (ICU reads up to three octal digits after \0,
//                                     PCRE2 only two)
// Refused (nothing), because PCRE2 would compile them to something else or
// does not know them:
//   an empty pattern (ICU refuses it; PCRE2 would match everywhere),
//   nested sets and set operations inside [...] ([[a][b]], [a-z--[aeiou]], &&),
//   \N{NAME}, malformed \u / \U, and PCRE2-only verbs starting with "(*".
//
//   auto pcre = internal::translateIcuPattern(R"(\u00e9t\u00e9)");  // "\x{00e9}t\x{00e9}"
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace scourlet::internal {

// The PCRE2 form of `icuPattern`, or nothing when it uses a construct that
// PCRE2 cannot express the ICU way.
std::optional<std::string> translateIcuPattern(std::string_view icuPattern);

}  // namespace scourlet::internal

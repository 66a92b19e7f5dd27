// Private to the rules engine: reading the structure of a rule pattern's text
// (groups and alternatives) without compiling it, for the indexes that spare
// most searches. Every answer errs on the safe side: text the reading cannot
// follow for certain (quoting, comments, nested sets) gives no answer, which
// only costs the pattern its place in an index.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace scourlet::internal {

// True when `pattern` holds a "(?" other than a plain group or a look-around:
// inline flags (extended mode among them), a comment group or a name.
bool mayHaveFlagsOrComments(std::string_view pattern);

// The alternatives of `text` split at its "|" outside groups and sets (one
// piece when there is none); nothing when the text cannot be followed or its
// groups do not balance.
std::optional<std::vector<std::string_view>> topLevelAlternatives(std::string_view text);

// True unless `text` provably has no alternation outside groups.
bool mayHaveTopLevelAlternation(std::string_view text);

// For `text` starting with "(", the offset just past the ")" that closes that
// group; npos when there is none or the text cannot be followed.
std::size_t endOfGroup(std::string_view text);

}  // namespace scourlet::internal

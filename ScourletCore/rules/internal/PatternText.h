// Private to the rules engine: reading the structure of a rule pattern's text
// (groups and alternatives) without compiling it, for the indexes that spare
// most searches. Every answer errs on the safe side: text the reading cannot
// follow for certain (quoting, comments, nested sets) gives no answer, which
// only costs the pattern its place in an index.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
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

// The longest run of literal text (lower-cased, at least four characters)
// that every match of `pattern`, compiled case-insensitively, holds: as it
// stands outside groups and sets, where no quantifier may drop it
// ("://outgoing.mozaws.net/" in "https?:\/\/outgoing\.mozaws\.net\/").
// Nothing when there is none, or the pattern has an alternation outside
// groups or inline flags.
std::optional<std::string> requiredLiteralText(std::string_view pattern);

// False only when `subject` certainly cannot hold `lowerText` (a text of
// requiredLiteralText) under case-insensitive matching: it is ASCII and
// does not contain the text in any letter case. Beyond ASCII, case folding
// reaches further ("K" for "k"), so such a subject may always hold it.
bool mayHoldText(std::string_view subject, std::string_view lowerText);

}  // namespace scourlet::internal

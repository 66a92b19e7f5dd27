// Regular expressions over PCRE2 that read and match like Foundation's
// NSRegularExpression (ICU syntax), on UTF-8 text.
//
// Patterns are compiled once (to machine code at their first search, where the
// platform has a JIT) and shared by
// every copy of a Regex; matching never changes a Regex, so several threads may
// match with one at the same time. Every search covers the whole subject and is
// not anchored: only anchors written in the pattern restrict where a match
// lies. Offsets are byte offsets into the UTF-8 subject.
//
//   auto re = Regex::compile(R"(^utm_.*$)", RegexOptions::caseInsensitive);
//   if (re && re->matches("UTM_Source")) { ... }
//   std::string clean = re->replaceAll("a-b", "$0$0");
//
// Syntax and behaviour follow ICU: "$" matches at the end or before a final
// line terminator, "." matches no line terminator (LF, CR, CRLF, VT, FF, NEL,
// U+2028, U+2029), \uhhhh, \Uhhhhhhhh, \x{h...} and \0ooo escapes work, \w \d \s
// \b are Unicode-aware, and an empty pattern does not compile. Known
// differences from ICU:
//   - Case-insensitive matching uses simple case folding: "é" matches "É" and
//     "σ" matches "ς", but "ß" does not match "SS" nor "ﬁ" "FI" (ICU folds fully).
//   - Patterns that do not compile although ICU accepts them: nested sets and
//     set operations in brackets ([[a-c][x-z]], [a-z--[aeiou]], [\p{L}&&\p{Lu}]),
//     \N{CHARACTER NAME}, lookbehinds of bounded but variable length (a{1,3}),
//     the (?w) and (?d) flags, and a bare [:alpha:] outside brackets.
//   - \w and \b count neither combining marks (\p{M}) nor connector punctuation
//     other than "_" as word characters, and \w counts every number (\p{N},
//     "²" too) where ICU counts decimal digits only.
//   - \X takes a run of flags (regional indicators) as one character.
//   - When all matches are enumerated, "$" also matches between the CR and LF
//     of a final CRLF (ICU does not split a CRLF).
//   - PCRE2-only syntax that ICU rejects still compiles (\K, (?|...), recursion,
//     conditionals, callouts); PCRE2 verbs "(*...)" are refused.
//   - Malformed UTF-8 in a subject is never matched, not even by "." (Swift
//     strings cannot hold it).
//
// Work is bounded so that no pattern or subject can hang the caller: one match
// attempt is limited in steps, backtracking memory and JIT stack, and a search
// that tries many start positions gives up after a fixed time. A search that
// hits a limit behaves as if nothing matched; replaceAll then leaves the rest
// of the subject unchanged. Ordinary patterns over texts of clipboard size
// (64 KiB) stay far below these limits. A `RegexTimeBudget` bounds all the
// searches of a larger piece of work (one clean, one text) together.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace scourlet {

enum class RegexOptions { none, caseInsensitive };

// What a search found out: a match, none, or nothing certain because a limit
// (steps, memory, time) cut it short.
enum class RegexAnswer { match, noMatch, undecided };

// Half-open byte range [first, second) into the subject.
using ByteRange = std::pair<std::size_t, std::size_t>;

// One match: index 0 is the whole match, index i capture group i.
struct RegexMatch {
    // Always holds numberOfCaptureGroups() + 1 entries; ranges[0] always has a
    // value, a group that took no part in the match has none.
    std::vector<std::optional<ByteRange>> ranges;

    // The whole match.
    ByteRange range() const { return *ranges.front(); }
    std::size_t numberOfRanges() const { return ranges.size(); }

    // False for a group that took no part and for an index past the last group.
    bool groupParticipated(std::size_t index) const {
        return index < ranges.size() && ranges[index].has_value();
    }

    // The text of group `index` (0: the whole match) within `subject`, which must
    // be the subject that was searched; nothing when the group took no part or
    // does not exist.
    std::optional<std::string_view> group(std::size_t index, std::string_view subject) const {
        if (!groupParticipated(index)) {
            return std::nullopt;
        }
        const ByteRange& r = *ranges[index];
        return subject.substr(r.first, r.second - r.first);
    }
};

class Regex {
public:
    // Compiles `pattern` (ICU syntax, UTF-8). Nothing when the pattern is empty,
    // is not valid UTF-8, or does not compile. Never throws.
    static std::optional<Regex> compile(std::string_view pattern,
                                        RegexOptions options = RegexOptions::none);

    // `text` with every regular-expression metacharacter escaped, so that the
    // result, compiled, matches exactly `text` (like escapedPattern(for:)).
    static std::string escapedPattern(std::string_view text);

    // True when the pattern matches somewhere in `subject`. False on a limit.
    bool matches(std::string_view subject) const;
    // As matches(), telling a search cut short by a limit apart from one that
    // found nothing.
    RegexAnswer test(std::string_view subject) const;

    // The leftmost match in `subject`; nothing when there is none or a limit is hit.
    std::optional<RegexMatch> firstMatch(std::string_view subject) const;

    // Every match in `subject`, in order, as NSRegularExpression finds them: after
    // an empty match the search goes on one character further. Stops at a limit,
    // keeping the matches found before it.
    std::vector<RegexMatch> allMatches(std::string_view subject) const;

    // `subject` with every match replaced by `replacementTemplate`, in which "$n"
    // inserts group n ("$0" the whole match; further digits are read while the
    // group number they form exists; a group that took no part or does not exist
    // inserts nothing), "$" before a non-digit is a literal "$", and "\" makes the
    // next character literal. On a limit the rest of the subject is kept as is.
    std::string replaceAll(std::string_view subject, std::string_view replacementTemplate) const;

    // As replaceAll, with `replacement` inserted literally (no template syntax).
    std::string replaceAllLiteral(std::string_view subject, std::string_view replacement) const;

    std::size_t numberOfCaptureGroups() const;
    const std::string& pattern() const;
    RegexOptions options() const;

    struct Compiled;  // internal: the shared compiled program

private:
    explicit Regex(std::shared_ptr<const Compiled> compiled) : compiled_(std::move(compiled)) {}

    std::shared_ptr<const Compiled> compiled_;
};

// One time limit for every search this thread makes while the budget lives,
// so that a piece of work made of many searches (a clean, a text block, a
// command analysis) ends in bounded time whatever its patterns and input.
// Once the time is used up, the running search stops and every later search
// answers at once as if a limit was hit (undecided; matches() is false).
// Budgets nest: an inner budget never outlasts the one around it, and an
// inner budget cut short by the outer limit leaves the outer one exhausted
// too. The clock is read every few searches, every few start positions of a
// search and when an attempt hits its step limit, so the work may overrun the
// limit by a few attempts (each bounded by the step limit).
//
//   RegexTimeBudget budget(std::chrono::milliseconds(250));
//   ... searches ...
//   if (budget.exhausted()) { /* results are incomplete: fall back */ }
class RegexTimeBudget {
public:
    explicit RegexTimeBudget(std::chrono::steady_clock::duration limit);
    ~RegexTimeBudget();
    RegexTimeBudget(const RegexTimeBudget&) = delete;
    RegexTimeBudget& operator=(const RegexTimeBudget&) = delete;

    // True once a search under this budget found its time used up.
    bool exhausted() const;

private:
    std::chrono::steady_clock::time_point previousDeadline_;
    bool previousActive_;
    bool previousExhausted_;
};

}  // namespace scourlet

// The pieces that finding web links in copied text shares between
// ClipboardLink and TextURLBlock: which texts are looked at at all, where a
// scheme ("name://") occurs, what may stand before and after a link, and
// whether a candidate is a link worth cleaning.
//
// Positions are byte offsets into UTF-8 text. Malformed UTF-8 is not refused:
// each byte that does not begin a well-formed sequence counts as one ordinary
// character that is neither white space nor punctuation, as in Text.h.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "ScourletCore/platform/Regex.h"
#include "ScourletCore/rules/internal/UnderscoreEmphasis.h"

namespace scourlet::internal {

// The largest text, in bytes of UTF-8, that is searched for links.
inline constexpr std::size_t kLinkTextSizeLimit = 65'536;

// True when `text` may be searched for links: at most kLinkTextSizeLimit
// bytes, and no control character other than tab, line feed and carriage
// return, no DEL, no zero-width character U+200B to U+200F and no
// bidirectional control (U+202A to U+202E, U+2066 to U+2069) anywhere.
bool isAdmissibleLinkText(std::string_view text);

// The first occurrence, at or after byte `from`, of a scheme: a letter, then
// letters, digits, "+", "-" or ".", then "://", letters in either case. This
// is the leftmost-longest match of "(?i)[a-z][a-z0-9+.-]*://" searched from
// `from` (which also takes U+017F and U+212A as letters, as they fold to "s"
// and "k"); text before `from` is not looked at. Nothing when there is none or
// when `from` is past the end.
std::optional<ByteRange> findSchemeOccurrence(std::string_view text, std::size_t from = 0);

// Every scheme occurrence in `text`, in order and not overlapping, as the
// pattern above enumerates them. Empty when there is none.
std::vector<ByteRange> allSchemeOccurrences(std::string_view text);

// What stands just before a link.
struct LinkLead {
    enum class Kind {
        textStart,   // the link starts the text
        whitespace,  // a white-space character (line breaks included)
        opener,      // ( [ < " or '
        refused,     // anything else: the scheme is glued to other text
    };
    Kind kind = Kind::refused;
    // The lead is "(" or "[": the link may end at the writer's closing
    // bracket (linkEndInBrackets).
    bool opensBracket = false;
};

// The lead of a link starting at byte `start` of `text`; the character before
// is decoded as a whole, so U+00A0 or U+3000 count as white space.
LinkLead linkLeadBefore(std::string_view text, std::size_t start);

// The offset of the first link stopper (white space, line break, "<", ">",
// "\"" or "'") at or after `from`; text.size() when there is none.
std::size_t linkStopperAtOrAfter(std::string_view text, std::size_t from);

// "." "," ";" "!" "?": punctuation that ends a sentence rather than a link.
bool isFullTrailingPunctuation(char c);

// For a link at `start` after "(" or "[", whose run of text ends at the
// stopper `stopper`: the offset of the first ")" or "]" in [start, stopper)
// that closes no bracket opened after `start`. The link ends there, and that
// bracket and what follows it are the writer's text ("[a](https://a.example/)**",
// "[![b](https://a.example/x.svg)](https://b.example/)"), while a pair the
// link opens itself is its own ("(https://a.example/wiki/C_(x))"). Nothing
// when there is none: the writer's partner does not follow the link (white
// space comes first, as in "[a](https://a.example/ \"Title\")"), and the link
// ends at the stopper as one after white space would. Each parenthesis and
// square bracket is counted apart; scans only up to what it returns.
std::optional<std::size_t> linkEndInBrackets(std::string_view text, std::size_t start,
                                             std::size_t stopper);

// Where the candidate link starting at `start` after `lead` ends, for a run
// of text that ends at the stopper `stopper`: before the writer's closing
// bracket of a link in brackets, else at the stopper.
std::size_t candidateLinkEnd(std::string_view text, std::size_t start, std::size_t stopper,
                             const LinkLead& lead);

// `end` moved back over what closes the sentence or the emphasis around a
// link rather than the link: trailing "." "," ";" ":" "!" "?", "*" and "~",
// a ")" or "]" that has no opener of its own in [start, end), and a run of
// "_" that closes the innermost emphasis open at `start` (`emphasis` is read
// up to `start` only when a link ends in "_"). Never before `start`.
std::size_t endBeforeUserPunctuation(std::string_view text, std::size_t start, std::size_t end,
                                     UnderscoreEmphasis& emphasis);

// The offset of the first character of `text` that is not white space or a
// line break; text.size() when there is none. Text before a link at `start`
// is prose exactly when this offset is below `start`.
std::size_t firstNonWhitespaceOffset(std::string_view text);

enum class SchemeCase {
    exact,        // only "http://" and "https://" as written
    insensitive,  // "HTTPS://" too
};

// True when `url` is a web link worth cleaning: it starts with "http://" or
// "https://" (compared as `schemeCase` says), holds no backslash, parses as
// a URL (strict RFC 3986) with a non-empty host and without user or password,
// and, when prose stands before it (`proseBefore`), does not end in sentence
// punctuation unless it has a query or fragment.
bool isAcceptableLink(std::string_view url, bool proseBefore, SchemeCase schemeCase);

// The end of the link that the candidate [start, end) holds; nothing when it
// holds none. The candidate as found must be acceptable (isAcceptableLink),
// so which texts hold a link is decided on it; the link then leaves out the
// punctuation that ends it (endBeforeUserPunctuation), which is the user's
// text and must survive the link's clean, and what is left must still be
// acceptable.
std::optional<std::size_t> acceptedLinkEnd(std::string_view text, std::size_t start,
                                           std::size_t end, bool proseBefore, SchemeCase schemeCase,
                                           UnderscoreEmphasis& emphasis);

// What came before a text on its line, for a text that is a piece of a line
// too long to be searched whole.
struct LineSoFar {
    // Something other than white space.
    bool prose = false;
    // The runs of "_" still open, with reading to start at the text's
    // beginning (continueInNextText()).
    UnderscoreEmphasis emphasis;
};

// The links of `text` as TextURLBlock::findLinks finds them, when `text`
// continues a line after what `before` says; the text must not begin inside a
// link (a piece begins at a link stopper). Defined with TextURLBlock.
bool findLinksContinuingLine(std::string_view text, const LineSoFar& before,
                             std::vector<ByteRange>& links);

}  // namespace scourlet::internal

// Unicode text helpers on UTF-8 strings, standing in for the character
// operations of Swift's String: trimming, counting and cutting user-visible
// characters (extended grapheme clusters), lower-casing and equality under
// canonical equivalence.
//
//   std::string_view link = trimmingWhitespaceAndNewlines(clipboardText);
//   if (graphemeCount(summary) > 160) summary = graphemePrefix(summary, 157) + "...";
//   bool same = canonicallyEquivalent("caf\u00e9", "cafe\u0301");  // true
//
// Every function accepts any bytes. Malformed UTF-8 never fails: each byte
// that does not begin a well-formed sequence is one character of its own that
// is not white space, keeps its byte value through lower-casing, and makes
// canonicallyEquivalent() fall back to byte equality. ASCII text takes a fast
// path everywhere.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace scourlet {

// True for the Unicode White_Space characters: U+0009 to U+000D, U+0020,
// U+0085, U+00A0, U+1680, U+2000 to U+200A, U+2028, U+2029, U+202F, U+205F and
// U+3000. Zero-width characters such as U+200B and U+FEFF are not white space.
bool isWhitespaceOrNewline(char32_t scalar);

// `text` without the white space and line breaks (isWhitespaceOrNewline) at
// both ends; a view into `text`.
std::string_view trimmingWhitespaceAndNewlines(std::string_view text);

// Number of user-visible characters (extended grapheme clusters by the rules of
// Unicode 15.1): "e" plus a combining accent, a flag, CR LF, an emoji joined by
// ZWJ and an Indic conjunct such as "\u0915\u094D\u0937" each count as one.
std::size_t graphemeCount(std::string_view text);

// The first `count` characters of `text` (all of it when it has fewer). A cut
// never splits a character.
std::string graphemePrefix(std::string_view text, std::size_t count);

// The last `count` characters of `text` (all of it when it has fewer).
std::string graphemeSuffix(std::string_view text, std::size_t count);

// Unicode lower-case mapping of each scalar, without regard to context or
// language: "\u0130" becomes "i\u0307", a capital sigma always "\u03c3".
std::string lowercased(std::string_view text);

// Only A to Z lower-cased; every other byte unchanged.
std::string asciiLowercased(std::string_view text);

// Length of `text` in bytes of UTF-8.
inline std::size_t utf8ByteLength(std::string_view text) {
    return text.size();
}

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or
// values above U+10FFFF).
bool isValidUTF8(std::string_view text);

// True when `a` and `b` are canonically equivalent, as Swift compares strings:
// "\u00e9" equals "e\u0301". Byte-equal texts are always equivalent; when either
// is not valid UTF-8, only byte-equal texts are.
bool canonicallyEquivalent(std::string_view a, std::string_view b);

}  // namespace scourlet

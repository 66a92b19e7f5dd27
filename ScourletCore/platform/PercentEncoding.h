// Percent-encoding and -decoding of URL text.
//
// `percentDecode` turns "%XX" escapes back into bytes and insists on a valid
// escape syntax and a UTF-8 result; a "+" is left alone (it only means a space
// in HTML form bodies, not in URLs). `percentEncode` writes every byte that is
// not in a `PercentEncodeSet` as "%XX" with upper-case hex digits. The
// predefined sets follow the usual per-component rules of URL builders, so a
// query value encoded here looks the same as one encoded by a browser's or the
// system's URL components.
//
//   auto name = percentDecode("caf%C3%A9");                    // "café"
//   auto bad = percentDecode("100%");                          // nothing
//   auto q = percentEncode("a&b c", PercentEncodeSet::urlQueryItemAllowed);  // "a%26b%20c"
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace scourlet {

// A set of ASCII bytes that may stand unescaped in some piece of a URL.
// Bytes of 0x80 and above are never members: they are always escaped.
class PercentEncodeSet {
public:
    constexpr PercentEncodeSet() = default;

    // The set of the bytes in `allowed`; bytes of 0x80 and above are ignored.
    constexpr explicit PercentEncodeSet(std::string_view allowed) {
        for (const char c : allowed) {
            add(static_cast<unsigned char>(c));
        }
    }

    constexpr bool contains(unsigned char byte) const {
        return byte < 128 && ((bits_[byte >> 6] >> (byte & 63)) & 1u) != 0;
    }
    constexpr bool contains(char byte) const { return contains(static_cast<unsigned char>(byte)); }

    // This set plus the bytes in `chars`.
    constexpr PercentEncodeSet adding(std::string_view chars) const {
        PercentEncodeSet result = *this;
        for (const char c : chars) {
            result.add(static_cast<unsigned char>(c));
        }
        return result;
    }

    // This set without the bytes in `chars`.
    constexpr PercentEncodeSet removing(std::string_view chars) const {
        PercentEncodeSet result = *this;
        for (const char c : chars) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 128) {
                result.bits_[byte >> 6] &= ~(std::uint64_t{1} << (byte & 63));
            }
        }
        return result;
    }

    // The union of two sets.
    constexpr PercentEncodeSet operator|(const PercentEncodeSet& other) const {
        PercentEncodeSet result;
        result.bits_[0] = bits_[0] | other.bits_[0];
        result.bits_[1] = bits_[1] | other.bits_[1];
        return result;
    }

    constexpr bool operator==(const PercentEncodeSet&) const = default;

    // ASCII letters and digits.
    static const PercentEncodeSet alphanumerics;
    // Letters, digits and "!$&'()*+,-./:;=?@_~".
    static const PercentEncodeSet urlQueryAllowed;
    // The query set without "&" and "=", which would split a name or value
    // apart; "+" stays as it is.
    static const PercentEncodeSet urlQueryItemAllowed;
    // Letters, digits and "!$&'()*+,-./:=@_~" (no ";", no "?").
    static const PercentEncodeSet urlPathAllowed;
    // Letters, digits and "!$&'()*+,-.:;=[]_~".
    static const PercentEncodeSet urlHostAllowed;
    // Letters, digits and "!$&'()*+,-./:;=?@_~".
    static const PercentEncodeSet urlFragmentAllowed;
    // Letters, digits and "!$&'()*+,-.;=_~".
    static const PercentEncodeSet urlUserAllowed;
    // Letters, digits and "!$&'()*+,-.;=_~".
    static const PercentEncodeSet urlPasswordAllowed;

private:
    constexpr void add(unsigned char byte) {
        if (byte < 128) {
            bits_[byte >> 6] |= std::uint64_t{1} << (byte & 63);
        }
    }

    std::uint64_t bits_[2] = {0, 0};
};

inline constexpr PercentEncodeSet PercentEncodeSet::alphanumerics{
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"};
inline constexpr PercentEncodeSet PercentEncodeSet::urlQueryAllowed =
    alphanumerics.adding("!$&'()*+,-./:;=?@_~");
inline constexpr PercentEncodeSet PercentEncodeSet::urlQueryItemAllowed =
    urlQueryAllowed.removing("&=");
inline constexpr PercentEncodeSet PercentEncodeSet::urlPathAllowed =
    alphanumerics.adding("!$&'()*+,-./:=@_~");
inline constexpr PercentEncodeSet PercentEncodeSet::urlHostAllowed =
    alphanumerics.adding("!$&'()*+,-.:;=[]_~");
inline constexpr PercentEncodeSet PercentEncodeSet::urlFragmentAllowed =
    alphanumerics.adding("!$&'()*+,-./:;=?@_~");
inline constexpr PercentEncodeSet PercentEncodeSet::urlUserAllowed =
    alphanumerics.adding("!$&'()*+,-.;=_~");
inline constexpr PercentEncodeSet PercentEncodeSet::urlPasswordAllowed =
    alphanumerics.adding("!$&'()*+,-.;=_~");

// Decodes every "%XX" escape (either case of hex digit). Returns nothing when a
// "%" is not followed by two hex digits, or when the decoded bytes (escaped or
// not) are not valid UTF-8 (overlong forms, surrogates and code points above
// U+10FFFF count as invalid). "+" is not turned into a space.
std::optional<std::string> percentDecode(std::string_view text);

// True when every "%" in `text` starts a "%XX" escape with two hex digits.
bool hasValidPercentEscapes(std::string_view text);

// `text` with every byte outside `allowed` written as "%XX" (upper-case hex).
// "%" is never in a predefined set, so existing escapes are escaped again.
// Never fails; bytes are escaped one by one whether or not they form UTF-8.
std::string percentEncode(std::string_view text, const PercentEncodeSet& allowed);

// Appends the percent-encoded form of `text` to `out`; for building a longer
// string without a temporary per piece.
void appendPercentEncoded(std::string& out, std::string_view text, const PercentEncodeSet& allowed);

}  // namespace scourlet

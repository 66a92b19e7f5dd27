// URL components: a URL taken apart into scheme, user, password, host, port,
// path, query and fragment, and put back together.
//
// `parse` accepts exactly the URI references of RFC 3986 and keeps every part
// as written, so `string()` of an unmodified parse gives back the input byte
// for byte: escapes keep their case, "+" stays "+", an empty query ("?") or
// fragment ("#") stays. `parseLenient` first escapes what a pasted link often
// carries but a URL may not (spaces, non-ASCII text, stray "%"), as a browser
// would. Absent and empty differ wherever the URL syntax tells them apart:
// "http://a/?" has an empty query, "http://a/" none.
//
//   auto url = URLComponents::parse("https://example.com/p?utm_source=x&id=7#top");
//   if (!url) return;
//   url->setQueryItems(std::vector<URLQueryItem>{{"id", "7"}});
//   url->removeFragment();
//   use(url->string());  // "https://example.com/p?id=7"
//
// The object always holds a valid URI reference: a mutator that would break
// the syntax (a relative path under a host, a ":" in the first segment of a
// relative path without scheme, ...) changes nothing and returns false. So,
// when building a URL from scratch, set the scheme and host before the path.
//
// The string views that accessors return point into the object's buffer and
// are valid until the next change or the object's destruction.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scourlet {

// One "name=value" piece of a query. A piece without "=" has no value; one
// ending in "=" has an empty value.
struct URLQueryItem {
    std::string name;
    std::optional<std::string> value;
    bool operator==(const URLQueryItem&) const = default;
};

class URLComponents {
public:
    // Empty components: no scheme, no authority, empty path; `string()` is "".
    URLComponents() = default;

    // Strict RFC 3986 parse of a URI reference (absolute or relative). Returns
    // nothing on any byte a URL may not hold unescaped (space, control, "<",
    // "\"", non-ASCII, ...), a "%" without two hex digits, a second "#", a
    // malformed host or IP literal, a port that is not digits, a ":" in the
    // first segment of a relative path, or input of 4 GiB or more.
    // The empty string parses (empty relative reference).
    static std::optional<URLComponents> parse(std::string_view text);

    // Parse for pasted text: returns nothing for the empty string; otherwise
    // escapes non-ASCII bytes, controls, spaces, < > " { } | \ ^ and the
    // backquote, "[" and "]" outside an IP-literal host, a "%" not starting
    // an escape (as "%25") and every "#" after the first, then parses
    // strictly. Returns nothing when the escaped text still is no URI
    // reference (for example a bad port).
    static std::optional<URLComponents> parseLenient(std::string_view text);
    // Whether parseLenient(text) gives components, without building them.
    static bool parsesLenient(std::string_view text);

    // The URL text. For an unmodified parse, byte for byte the parsed input.
    const std::string& string() const { return buffer_; }

    // --- Reading -----------------------------------------------------------
    // Decoded accessors fall back to the text as written when it does not
    // percent-decode (bad escape or not UTF-8), as a decoding failure is not
    // an error for the link cleaner.

    // The scheme as written (case kept), without ":".
    std::optional<std::string_view> scheme() const;

    // True when the URL has a "//" authority, even an empty one ("file:///x").
    bool hasAuthority() const { return off_[PathStart] > off_[SchemeEnd]; }

    // The user of "user:password@"; "" for "http://@h/"; nothing without "@".
    std::optional<std::string_view> percentEncodedUser() const;
    std::optional<std::string> user() const;
    // The password after the first ":" of the user info; nothing without ":".
    std::optional<std::string_view> percentEncodedPassword() const;
    std::optional<std::string> password() const;

    // The host as written: an IP literal keeps its brackets ("[::1]"), letter
    // case is kept. Present (maybe empty, as in "file:///x") exactly when the
    // URL has an authority.
    std::optional<std::string_view> percentEncodedHost() const;
    std::optional<std::string> host() const;

    // The port number; nothing when there is no port, the port is empty
    // ("http://a:/") or it does not fit an int.
    std::optional<int> port() const;
    // The port digits as written; "" for "http://a:/"; nothing without ":".
    std::optional<std::string_view> portString() const;

    // The path as written; always present, maybe empty.
    std::string_view percentEncodedPath() const;
    std::string path() const;

    // The text after "?" up to "#"; nothing without "?", "" for a bare "?".
    std::optional<std::string_view> percentEncodedQuery() const;
    std::optional<std::string> query() const;

    // The text after the first "#"; nothing without "#", "" for a bare "#".
    std::optional<std::string_view> percentEncodedFragment() const;
    std::optional<std::string> fragment() const;

    // The query split on every "&" (";" is no separator), empty pieces kept
    // ("a&&b" has an empty middle item); each piece split at its first "=".
    // Names and values are decoded, a piece that does not decode stays as
    // written, "+" stays "+". Nothing without a query; an empty query gives
    // an empty list.
    std::optional<std::vector<URLQueryItem>> queryItems() const;
    // The same split with names and values as written.
    std::optional<std::vector<URLQueryItem>> percentEncodedQueryItems() const;

    // --- Changing ----------------------------------------------------------

    // Sets or (with nothing) removes the scheme. Returns false, changing
    // nothing, when the scheme is not a letter followed by letters, digits,
    // "+", "-" or "." (an empty scheme is refused too), or when removing it
    // would turn a relative path's first segment with ":" into a scheme.
    [[nodiscard]] bool setScheme(std::optional<std::string_view> scheme);

    // Sets the host as written, adding "//" when there was no authority; with
    // nothing, removes the whole authority (user info, host and port). Returns
    // false, changing nothing, when the host is neither a valid registered
    // name (escapes allowed, may be empty) nor a valid bracketed IP literal,
    // when a host would stand before a path not starting with "/", or when
    // removing the authority would leave a path starting with "//".
    [[nodiscard]] bool setPercentEncodedHost(std::optional<std::string_view> host);

    // Lower-cases the ASCII letters of the host as written (escapes too).
    void lowercaseHost();

    // Sets or (with nothing) removes the port. Returns false, changing
    // nothing, for a number outside 0...65535 or when there is no authority.
    [[nodiscard]] bool setPort(std::optional<int> port);

    // Removes user and password with their "@". Does nothing without them.
    void removeUserInfo();

    // Sets the path as written. Returns false, changing nothing, on a byte a
    // path may not hold or a bad escape, on a non-empty path not starting with
    // "/" under an authority, on a path starting with "//" without authority,
    // and on a ":" in the first segment of a relative path without scheme.
    [[nodiscard]] bool setPercentEncodedPath(std::string_view path);
    // Escapes `path` with `PercentEncodeSet::urlPathAllowed` and sets it; the
    // same structural checks and result as `setPercentEncodedPath`.
    [[nodiscard]] bool setPath(std::string_view path);

    // Sets the query as written (without "?"); nothing removes the "?" too.
    // Returns false, changing nothing, on a byte a query may not hold ("#",
    // space, non-ASCII, ...) or a bad escape.
    [[nodiscard]] bool setPercentEncodedQuery(std::optional<std::string_view> query);

    // Sets the query from decoded items: names and values are escaped with
    // `PercentEncodeSet::urlQueryItemAllowed` (so "&", "=", "#", spaces and
    // non-ASCII are escaped, "+" is not) and joined with "=" and "&"; an item
    // without value is written as its name alone. An empty list gives an empty
    // query ("?"); nothing removes the query.
    void setQueryItems(const std::optional<std::vector<URLQueryItem>>& items);

    // Sets the query from items already escaped, joined as above. Returns
    // false, changing nothing, when a name holds "&" or "=", a value holds
    // "&", or any of them holds a byte a query may not hold or a bad escape.
    [[nodiscard]] bool setPercentEncodedQueryItems(
        const std::optional<std::vector<URLQueryItem>>& items);

    // Sets the fragment as written (without "#"); nothing removes the "#" too.
    // Returns false, changing nothing, on a byte a fragment may not hold.
    [[nodiscard]] bool setPercentEncodedFragment(std::optional<std::string_view> fragment);
    // Removes the fragment and its "#".
    void removeFragment();

    bool operator==(const URLComponents&) const = default;

private:
    // Where each part ends, as offsets into buffer_:
    //   [0, SchemeEnd)            scheme and ":" (SchemeEnd 0: no scheme)
    //   [SchemeEnd, SchemeEnd+2)  "//" when there is an authority
    //   [SchemeEnd+2, UserEnd)    user; then ":" password up to HostStart-1 ("@")
    //   [HostStart, HostEnd)      host; then ":" port up to PathStart
    //   [PathStart, PathEnd)      path
    //   [PathEnd, QueryEnd)       "?" and query, when not empty
    //   [QueryEnd, size)          "#" and fragment, when not empty
    // Without an authority every offset from UserEnd to PathStart equals
    // SchemeEnd; without user info, UserEnd and HostStart are SchemeEnd+2.
    enum Offset { SchemeEnd, UserEnd, HostStart, HostEnd, PathStart, PathEnd, QueryEnd, Count };
    using Offsets = std::array<std::uint32_t, Count>;

    URLComponents(std::string_view text, const Offsets& offsets);

    static bool scan(std::string_view text, Offsets& offsets);

    std::string_view slice(std::size_t begin, std::size_t end) const {
        return std::string_view(buffer_).substr(begin, end - begin);
    }
    bool hasUserInfo() const { return hasAuthority() && off_[HostStart] > off_[SchemeEnd] + 2; }

    // Replaces buffer_[begin, end) with `prefix` (when not '\0') followed by
    // `text`, and shifts every offset from `firstShifted` on.
    void splice(std::size_t begin, std::size_t end, char prefix, std::string_view text,
                Offset firstShifted);

    std::string buffer_;
    Offsets off_{};
};

}  // namespace scourlet

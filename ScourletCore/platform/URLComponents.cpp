#include "ScourletCore/platform/URLComponents.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <functional>
#include <limits>
#include <utility>

#include <boost/url/ipv6_address.hpp>

#include "ScourletCore/platform/PercentEncoding.h"

namespace scourlet {
namespace {

// The byte classes of RFC 3986; "%" escapes are checked apart from them.
constexpr PercentEncodeSet kUnreserved = PercentEncodeSet::alphanumerics.adding("-._~");
constexpr PercentEncodeSet kSubDelims{"!$&'()*+,;="};
constexpr PercentEncodeSet kRegName = kUnreserved | kSubDelims;
constexpr PercentEncodeSet kUserInfo = kRegName.adding(":");
constexpr PercentEncodeSet kPath = kRegName.adding(":@/");
constexpr PercentEncodeSet kQuery = kPath.adding("?");
constexpr PercentEncodeSet kFragment = kQuery;
constexpr PercentEncodeSet kSchemeTail = PercentEncodeSet::alphanumerics.adding("+-.");
constexpr PercentEncodeSet kIPvFutureTail = kUserInfo;
constexpr PercentEncodeSet kHexDigits{"0123456789ABCDEFabcdef"};
constexpr PercentEncodeSet kDigits{"0123456789"};

// What lenient parsing leaves alone: printable ASCII except the bytes no part
// of a URL may hold. "%", "#", "[" and "]" are judged by position instead.
constexpr PercentEncodeSet kLenientKept =
    PercentEncodeSet::alphanumerics.adding("!$&'()*+,-./:;=?@_~");

constexpr bool isAlpha(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isHexPair(std::string_view text, std::size_t i) {
    return i + 1 < text.size() && kHexDigits.contains(text[i]) && kHexDigits.contains(text[i + 1]);
}

// Every byte is in `allowed` or starts a "%XX" escape.
bool isValidPart(std::string_view text, const PercentEncodeSet& allowed) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (allowed.contains(c)) {
            continue;
        }
        if (c != '%' || !isHexPair(text, i + 1)) {
            return false;
        }
        i += 2;
    }
    return true;
}

bool allIn(std::string_view text, const PercentEncodeSet& allowed) {
    for (const char c : text) {
        if (!allowed.contains(c)) {
            return false;
        }
    }
    return true;
}

bool isValidScheme(std::string_view scheme) {
    return !scheme.empty() && isAlpha(scheme[0]) && allIn(scheme.substr(1), kSchemeTail);
}

// The text between "[" and "]": an IPv6 address or "v" hex "." text.
bool isValidIPLiteral(std::string_view inner) {
    if (!inner.empty() && (inner[0] == 'v' || inner[0] == 'V')) {
        const std::size_t dot = inner.find('.');
        if (dot == std::string_view::npos || dot < 2 || dot + 1 == inner.size()) {
            return false;
        }
        return allIn(inner.substr(1, dot - 1), kHexDigits) &&
               allIn(inner.substr(dot + 1), kIPvFutureTail);
    }
    return boost::urls::parse_ipv6_address(boost::urls::string_view(inner.data(), inner.size()))
        .has_value();
}

// A host as it may stand in an authority: a registered name (which covers
// IPv4 addresses), possibly empty, or a bracketed IP literal.
bool isValidHost(std::string_view host) {
    if (!host.empty() && host[0] == '[') {
        return host.size() >= 2 && host.back() == ']' &&
               isValidIPLiteral(host.substr(1, host.size() - 2));
    }
    return isValidPart(host, kRegName);
}

// The shape a path must have so the URL text parses back into the same parts:
// under an authority it is empty or absolute; without one it cannot start
// with "//" (that would read as an authority), and without scheme its first
// segment cannot hold ":" (that would read as a scheme).
bool pathFitsStructure(std::string_view path, bool withAuthority, bool withScheme) {
    if (withAuthority) {
        return path.empty() || path[0] == '/';
    }
    if (path.size() >= 2 && path[0] == '/' && path[1] == '/') {
        return false;
    }
    if (!withScheme) {
        const std::string_view firstSegment = path.substr(0, path.find('/'));
        if (firstSegment.find(':') != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

std::string decodedOrAsWritten(std::string_view text) {
    if (auto decoded = percentDecode(text)) {
        return std::move(*decoded);
    }
    return std::string(text);
}

std::optional<std::string> decodedOrAsWritten(std::optional<std::string_view> text) {
    if (!text) {
        return std::nullopt;
    }
    return decodedOrAsWritten(*text);
}

void appendEscapedByte(std::string& out, unsigned char byte) {
    constexpr char kUpperHex[] = "0123456789ABCDEF";
    out.push_back('%');
    out.push_back(kUpperHex[byte >> 4]);
    out.push_back(kUpperHex[byte & 0x0F]);
}

// Escapes what pasted text often holds but a URL may not. The parts are found
// loosely (first "#", first "?" before it, "//" after an optional scheme) only
// to know where "[", "]" and "#" are allowed; the strict parse that follows
// judges the structure.
// The position just after "scheme:" at the start of `text`, or 0 when the
// text does not begin with a scheme.
std::size_t schemeEndOf(std::string_view text) {
    if (text.empty() || !isAlpha(text[0])) {
        return 0;
    }
    std::size_t i = 1;
    while (i < text.size() && kSchemeTail.contains(text[i])) {
        ++i;
    }
    return i < text.size() && text[i] == ':' ? i + 1 : 0;
}

std::string escapeInvalidCharacters(std::string_view text) {
    const std::size_t size = text.size();
    const std::size_t fragmentStart = std::min(text.find('#'), size);
    const std::size_t queryStart = std::min(text.find('?'), fragmentStart);

    const std::size_t schemeEnd = schemeEndOf(text);
    std::size_t hostBegin = 0;
    std::size_t hostEnd = 0;
    if (text.substr(schemeEnd, 2) == "//" && schemeEnd + 2 <= queryStart) {
        const std::size_t authorityBegin = schemeEnd + 2;
        const std::string_view beforeQuery = text.substr(0, queryStart);
        hostEnd = std::min(beforeQuery.find('/', authorityBegin), queryStart);
        const std::size_t at = beforeQuery.substr(0, hostEnd).rfind('@');
        hostBegin = (at == std::string_view::npos || at < authorityBegin) ? authorityBegin : at + 1;
    }

    std::string out;
    out.reserve(size + size / 2);
    for (std::size_t i = 0; i < size; ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        bool keep = kLenientKept.contains(byte);
        if (c == '%') {
            keep = isHexPair(text, i + 1);
        } else if (c == '[' || c == ']') {
            keep = i >= hostBegin && i < hostEnd;
        } else if (c == '#') {
            keep = i == fragmentStart;
        }
        if (keep) {
            out.push_back(c);
        } else {
            appendEscapedByte(out, byte);
        }
    }
    return out;
}

}  // namespace

URLComponents::URLComponents(std::string_view text, const Offsets& offsets)
    : buffer_(text), off_(offsets) {}

bool URLComponents::scan(std::string_view text, Offsets& off) {
    // Offsets are 32-bit; nothing near that size is a link anyone copies.
    if (text.size() >= std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }
    const std::size_t size = text.size();

    const std::size_t schemeEnd = schemeEndOf(text);

    const std::size_t queryEnd = std::min(text.find('#', schemeEnd), size);
    const std::size_t pathEnd = std::min(text.find('?', schemeEnd), queryEnd);
    if (queryEnd < size && !isValidPart(text.substr(queryEnd + 1), kFragment)) {
        return false;
    }
    if (pathEnd < queryEnd &&
        !isValidPart(text.substr(pathEnd + 1, queryEnd - pathEnd - 1), kQuery)) {
        return false;
    }

    std::size_t userEnd = schemeEnd;
    std::size_t hostStart = schemeEnd;
    std::size_t hostEnd = schemeEnd;
    std::size_t pathStart = schemeEnd;
    const bool withAuthority = text.substr(schemeEnd, 2) == "//" && schemeEnd + 2 <= pathEnd;
    if (withAuthority) {
        const std::size_t authorityBegin = schemeEnd + 2;
        const std::string_view beforePath = text.substr(0, pathEnd);
        const std::size_t authorityEnd = std::min(beforePath.find('/', authorityBegin), pathEnd);
        const std::string_view authority =
            text.substr(authorityBegin, authorityEnd - authorityBegin);

        userEnd = authorityBegin;
        hostStart = authorityBegin;
        const std::size_t at = authority.find('@');
        if (at != std::string_view::npos) {
            const std::string_view userInfo = authority.substr(0, at);
            if (!isValidPart(userInfo, kUserInfo)) {
                return false;
            }
            userEnd = authorityBegin + std::min(userInfo.find(':'), at);
            hostStart = authorityBegin + at + 1;
        }

        const std::string_view hostAndPort = text.substr(hostStart, authorityEnd - hostStart);
        std::size_t hostLength = 0;
        if (!hostAndPort.empty() && hostAndPort[0] == '[') {
            const std::size_t close = hostAndPort.find(']');
            if (close == std::string_view::npos ||
                !isValidIPLiteral(hostAndPort.substr(1, close - 1))) {
                return false;
            }
            hostLength = close + 1;
            if (hostLength < hostAndPort.size() && hostAndPort[hostLength] != ':') {
                return false;
            }
        } else {
            hostLength = std::min(hostAndPort.find(':'), hostAndPort.size());
            if (!isValidPart(hostAndPort.substr(0, hostLength), kRegName)) {
                return false;
            }
        }
        if (hostLength < hostAndPort.size() &&
            !allIn(hostAndPort.substr(hostLength + 1), kDigits)) {
            return false;
        }
        hostEnd = hostStart + hostLength;
        pathStart = authorityEnd;
    }

    const std::string_view path = text.substr(pathStart, pathEnd - pathStart);
    if (!isValidPart(path, kPath) || !pathFitsStructure(path, withAuthority, schemeEnd > 0)) {
        return false;
    }

    off = {static_cast<std::uint32_t>(schemeEnd), static_cast<std::uint32_t>(userEnd),
           static_cast<std::uint32_t>(hostStart), static_cast<std::uint32_t>(hostEnd),
           static_cast<std::uint32_t>(pathStart), static_cast<std::uint32_t>(pathEnd),
           static_cast<std::uint32_t>(queryEnd)};
    return true;
}

std::optional<URLComponents> URLComponents::parse(std::string_view text) {
    Offsets offsets{};
    if (!scan(text, offsets)) {
        return std::nullopt;
    }
    return URLComponents(text, offsets);
}

std::optional<URLComponents> URLComponents::parseLenient(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    Offsets offsets{};
    if (scan(text, offsets)) {
        return URLComponents(text, offsets);
    }
    const std::string escaped = escapeInvalidCharacters(text);
    if (!scan(escaped, offsets)) {
        return std::nullopt;
    }
    return URLComponents(escaped, offsets);
}

bool URLComponents::parsesLenient(std::string_view text) {
    Offsets offsets{};
    return !text.empty() && (scan(text, offsets) || scan(escapeInvalidCharacters(text), offsets));
}

// --- Reading ---------------------------------------------------------------

std::optional<std::string_view> URLComponents::scheme() const {
    if (off_[SchemeEnd] == 0) {
        return std::nullopt;
    }
    return slice(0, off_[SchemeEnd] - 1);
}

std::optional<std::string_view> URLComponents::percentEncodedUser() const {
    if (!hasUserInfo()) {
        return std::nullopt;
    }
    return slice(off_[SchemeEnd] + 2, off_[UserEnd]);
}

std::optional<std::string> URLComponents::user() const {
    return decodedOrAsWritten(percentEncodedUser());
}

std::optional<std::string_view> URLComponents::percentEncodedPassword() const {
    // With a password, UserEnd sits on its ":"; without, on the "@".
    if (!hasUserInfo() || off_[UserEnd] + 1 == off_[HostStart]) {
        return std::nullopt;
    }
    return slice(off_[UserEnd] + 1, off_[HostStart] - 1);
}

std::optional<std::string> URLComponents::password() const {
    return decodedOrAsWritten(percentEncodedPassword());
}

std::optional<std::string_view> URLComponents::percentEncodedHost() const {
    if (!hasAuthority()) {
        return std::nullopt;
    }
    return slice(off_[HostStart], off_[HostEnd]);
}

std::optional<std::string> URLComponents::host() const {
    return decodedOrAsWritten(percentEncodedHost());
}

std::optional<std::string_view> URLComponents::portString() const {
    if (off_[HostEnd] == off_[PathStart]) {
        return std::nullopt;
    }
    return slice(off_[HostEnd] + 1, off_[PathStart]);
}

std::optional<int> URLComponents::port() const {
    const auto digits = portString();
    if (!digits || digits->empty()) {
        return std::nullopt;
    }
    long long value = 0;
    for (const char c : *digits) {
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<int>::max()) {
            return std::nullopt;
        }
    }
    return static_cast<int>(value);
}

std::string_view URLComponents::percentEncodedPath() const {
    return slice(off_[PathStart], off_[PathEnd]);
}

std::string URLComponents::path() const {
    return decodedOrAsWritten(percentEncodedPath());
}

std::optional<std::string_view> URLComponents::percentEncodedQuery() const {
    if (off_[PathEnd] == off_[QueryEnd]) {
        return std::nullopt;
    }
    return slice(off_[PathEnd] + 1, off_[QueryEnd]);
}

std::optional<std::string> URLComponents::query() const {
    return decodedOrAsWritten(percentEncodedQuery());
}

std::optional<std::string_view> URLComponents::percentEncodedFragment() const {
    if (off_[QueryEnd] == buffer_.size()) {
        return std::nullopt;
    }
    return slice(off_[QueryEnd] + 1, buffer_.size());
}

std::optional<std::string> URLComponents::fragment() const {
    return decodedOrAsWritten(percentEncodedFragment());
}

namespace {

template <class Convert>
std::vector<URLQueryItem> splitQuery(std::string_view query, Convert convert) {
    std::vector<URLQueryItem> items;
    if (query.empty()) {
        return items;
    }
    std::size_t pieces = 1;
    for (const char c : query) {
        pieces += c == '&' ? 1 : 0;
    }
    items.reserve(pieces);
    std::size_t start = 0;
    while (true) {
        const std::size_t end = std::min(query.find('&', start), query.size());
        const std::string_view piece = query.substr(start, end - start);
        const std::size_t equals = piece.find('=');
        if (equals == std::string_view::npos) {
            items.push_back(URLQueryItem{convert(piece), std::nullopt});
        } else {
            items.push_back(
                URLQueryItem{convert(piece.substr(0, equals)), convert(piece.substr(equals + 1))});
        }
        if (end == query.size()) {
            break;
        }
        start = end + 1;
    }
    return items;
}

}  // namespace

std::optional<std::vector<URLQueryItem>> URLComponents::queryItems() const {
    const auto query = percentEncodedQuery();
    if (!query) {
        return std::nullopt;
    }
    return splitQuery(*query, [](std::string_view text) { return decodedOrAsWritten(text); });
}

std::optional<std::vector<URLQueryItem>> URLComponents::percentEncodedQueryItems() const {
    const auto query = percentEncodedQuery();
    if (!query) {
        return std::nullopt;
    }
    return splitQuery(*query, [](std::string_view text) { return std::string(text); });
}

// --- Changing --------------------------------------------------------------

void URLComponents::splice(std::size_t begin, std::size_t end, char prefix, std::string_view text,
                           Offset firstShifted) {
    const std::less<const char*> before;
    const char* const data = buffer_.data();
    if (!text.empty() && !before(text.data(), data) && before(text.data(), data + buffer_.size())) {
        // `text` is a view into our own buffer, which replace() may move.
        const std::string copy(text);
        splice(begin, end, prefix, copy, firstShifted);
        return;
    }
    const std::size_t prefixLength = prefix != '\0' ? 1 : 0;
    const std::size_t newLength = prefixLength + text.size();
    buffer_.replace(begin, end - begin, newLength, prefix);
    if (!text.empty()) {
        std::memcpy(buffer_.data() + begin + prefixLength, text.data(), text.size());
    }
    assert(buffer_.size() < std::numeric_limits<std::uint32_t>::max());
    // Unsigned wrap-around adds a negative difference correctly.
    const auto delta = static_cast<std::uint32_t>(newLength - (end - begin));
    for (int k = firstShifted; k < Count; ++k) {
        off_[k] += delta;
    }
}

bool URLComponents::setScheme(std::optional<std::string_view> newScheme) {
    if (newScheme) {
        if (!isValidScheme(*newScheme)) {
            return false;
        }
        std::string withColon;
        withColon.reserve(newScheme->size() + 1);
        withColon.append(*newScheme).push_back(':');
        splice(0, off_[SchemeEnd], '\0', withColon, SchemeEnd);
        return true;
    }
    if (!pathFitsStructure(percentEncodedPath(), hasAuthority(), false)) {
        return false;
    }
    splice(0, off_[SchemeEnd], '\0', {}, SchemeEnd);
    return true;
}

bool URLComponents::setPercentEncodedHost(std::optional<std::string_view> newHost) {
    if (!newHost) {
        if (!hasAuthority()) {
            return true;
        }
        if (!pathFitsStructure(percentEncodedPath(), false, off_[SchemeEnd] > 0)) {
            return false;
        }
        splice(off_[SchemeEnd], off_[PathStart], '\0', {}, PathStart);
        off_[UserEnd] = off_[HostStart] = off_[HostEnd] = off_[SchemeEnd];
        return true;
    }
    if (!isValidHost(*newHost)) {
        return false;
    }
    if (hasAuthority()) {
        splice(off_[HostStart], off_[HostEnd], '\0', *newHost, HostEnd);
        return true;
    }
    if (!pathFitsStructure(percentEncodedPath(), true, off_[SchemeEnd] > 0)) {
        return false;
    }
    std::string authority;
    authority.reserve(newHost->size() + 2);
    authority.append("//").append(*newHost);
    splice(off_[SchemeEnd], off_[SchemeEnd], '\0', authority, UserEnd);
    off_[UserEnd] = off_[HostStart] = off_[SchemeEnd] + 2;
    return true;
}

void URLComponents::lowercaseHost() {
    for (std::size_t i = off_[HostStart]; i < off_[HostEnd]; ++i) {
        char& c = buffer_[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
}

bool URLComponents::setPort(std::optional<int> newPort) {
    if (!newPort) {
        splice(off_[HostEnd], off_[PathStart], '\0', {}, PathStart);
        return true;
    }
    if (!hasAuthority() || *newPort < 0 || *newPort > 65535) {
        return false;
    }
    const std::string digits = std::to_string(*newPort);
    splice(off_[HostEnd], off_[PathStart], ':', digits, PathStart);
    return true;
}

void URLComponents::removeUserInfo() {
    if (!hasUserInfo()) {
        return;
    }
    const std::size_t userInfoBegin = off_[SchemeEnd] + 2;
    splice(userInfoBegin, off_[HostStart], '\0', {}, HostStart);
    off_[UserEnd] = static_cast<std::uint32_t>(userInfoBegin);
}

bool URLComponents::setPercentEncodedPath(std::string_view newPath) {
    if (!isValidPart(newPath, kPath) ||
        !pathFitsStructure(newPath, hasAuthority(), off_[SchemeEnd] > 0)) {
        return false;
    }
    splice(off_[PathStart], off_[PathEnd], '\0', newPath, PathEnd);
    return true;
}

bool URLComponents::setPath(std::string_view newPath) {
    return setPercentEncodedPath(percentEncode(newPath, PercentEncodeSet::urlPathAllowed));
}

bool URLComponents::setPercentEncodedQuery(std::optional<std::string_view> newQuery) {
    if (newQuery && !isValidPart(*newQuery, kQuery)) {
        return false;
    }
    splice(off_[PathEnd], off_[QueryEnd], newQuery ? '?' : '\0',
           newQuery.value_or(std::string_view{}), QueryEnd);
    return true;
}

namespace {

// Builds the URL with a new query in one allocation: the text up to the query,
// "?", the joined items, then the fragment. Returns the new end of the query.
template <class Append>
std::size_t assembleWithQuery(std::string& buffer, std::size_t pathEnd, std::size_t queryEnd,
                              const std::vector<URLQueryItem>& items, Append append) {
    std::size_t estimate = 0;
    for (const auto& item : items) {
        estimate += item.name.size() + (item.value ? item.value->size() + 1 : 0) + 1;
    }
    std::string out;
    out.reserve(pathEnd + 1 + estimate + estimate / 4 + (buffer.size() - queryEnd));
    out.append(buffer, 0, pathEnd);
    out.push_back('?');
    bool first = true;
    for (const auto& item : items) {
        if (!first) {
            out.push_back('&');
        }
        first = false;
        append(out, item.name);
        if (item.value) {
            out.push_back('=');
            append(out, *item.value);
        }
    }
    const std::size_t newQueryEnd = out.size();
    out.append(buffer, queryEnd, std::string::npos);
    buffer.swap(out);
    return newQueryEnd;
}

}  // namespace

void URLComponents::setQueryItems(const std::optional<std::vector<URLQueryItem>>& items) {
    if (!items) {
        splice(off_[PathEnd], off_[QueryEnd], '\0', {}, QueryEnd);
        return;
    }
    const std::size_t newQueryEnd = assembleWithQuery(
        buffer_, off_[PathEnd], off_[QueryEnd], *items,
        [](std::string& out, std::string_view text) {
            appendPercentEncoded(out, text, PercentEncodeSet::urlQueryItemAllowed);
        });
    assert(buffer_.size() < std::numeric_limits<std::uint32_t>::max());
    off_[QueryEnd] = static_cast<std::uint32_t>(newQueryEnd);
}

bool URLComponents::setPercentEncodedQueryItems(
    const std::optional<std::vector<URLQueryItem>>& items) {
    if (!items) {
        splice(off_[PathEnd], off_[QueryEnd], '\0', {}, QueryEnd);
        return true;
    }
    static constexpr PercentEncodeSet kName = kQuery.removing("&=");
    static constexpr PercentEncodeSet kValue = kQuery.removing("&");
    for (const auto& item : *items) {
        if (!isValidPart(item.name, kName) || (item.value && !isValidPart(*item.value, kValue))) {
            return false;
        }
    }
    const std::size_t newQueryEnd =
        assembleWithQuery(buffer_, off_[PathEnd], off_[QueryEnd], *items,
                          [](std::string& out, std::string_view text) { out.append(text); });
    off_[QueryEnd] = static_cast<std::uint32_t>(newQueryEnd);
    return true;
}

bool URLComponents::setPercentEncodedFragment(std::optional<std::string_view> newFragment) {
    if (newFragment && !isValidPart(*newFragment, kFragment)) {
        return false;
    }
    splice(off_[QueryEnd], buffer_.size(), newFragment ? '#' : '\0',
           newFragment.value_or(std::string_view{}), Count);
    return true;
}

void URLComponents::removeFragment() {
    buffer_.resize(off_[QueryEnd]);
}

}  // namespace scourlet

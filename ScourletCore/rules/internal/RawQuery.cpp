#include "ScourletCore/rules/internal/RawQuery.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "ScourletCore/config/ServiceConfiguration.h"
#include "ScourletCore/platform/PercentEncoding.h"
#include "ScourletCore/platform/Text.h"

namespace scourlet::internal {
namespace {

constexpr std::string_view kAmpersand = "&";
// HTML's escaped "&", as a link copied from page source joins its parameters.
constexpr std::string_view kEscapedAmpersand = "&amp;";

// Walks a non-empty query piece by piece: each segment with the separator
// that stood before it.
class QuerySplitter {
public:
    struct Piece {
        std::string_view segment;
        std::string_view separator;
    };

    explicit QuerySplitter(std::string_view query) : query_(query) {}

    std::optional<Piece> next() {
        if (done_) {
            return std::nullopt;
        }
        const std::size_t end = std::min(query_.find('&', start_), query_.size());
        Piece piece{query_.substr(start_, end - start_), separator_};
        if (end == query_.size()) {
            done_ = true;
        } else {
            separator_ = query_.substr(end).starts_with(kEscapedAmpersand) ? kEscapedAmpersand
                                                                          : kAmpersand;
            start_ = end + separator_.size();
        }
        return piece;
    }

private:
    std::string_view query_;
    std::size_t start_ = 0;
    std::string_view separator_;
    bool done_ = false;
};

std::string decodedOrAsWritten(std::string_view text) {
    // Most names and values hold no escape; skip the decoder's validation for them.
    if (text.find('%') == std::string_view::npos) {
        return std::string(text);
    }
    if (auto decoded = percentDecode(text)) {
        return std::move(*decoded);
    }
    return std::string(text);
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// `text` equals `lowerName` (which is lower-case) when ASCII case is ignored.
bool equalsLowered(std::string_view text, std::string_view lowerName) {
    if (text.size() != lowerName.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (asciiLower(text[i]) != lowerName[i]) {
            return false;
        }
    }
    return true;
}

// `host` is `domain` itself or ends with "." followed by it.
bool isDomainOrSubdomain(std::string_view host, std::string_view domain) {
    if (equalsLowered(host, domain)) {
        return true;
    }
    return host.size() > domain.size() && host[host.size() - domain.size() - 1] == '.' &&
           equalsLowered(host.substr(host.size() - domain.size()), domain);
}

// The host to compare, or nothing without one. Hosts are compared in lower
// case; the host as written is used directly unless it holds escapes, in which
// case its decoded, lower-cased form is put in `storage`.
std::optional<std::string_view> comparableHost(const URLComponents& components,
                                               std::string& storage) {
    const auto written = components.percentEncodedHost();
    if (!written) {
        return std::nullopt;
    }
    if (written->find('%') == std::string_view::npos) {
        return written;
    }
    storage = lowercased(components.host().value_or(std::string(*written)));
    return std::string_view(storage);
}

bool isOnGoogleCom(const URLComponents& components) {
    std::string storage;
    const auto host = comparableHost(components, storage);
    return host && isDomainOrSubdomain(*host, config::kGoogleComDomain);
}

bool pathIsSearch(const URLComponents& components) {
    constexpr std::string_view kSearchPath = "/search";
    const std::string_view written = components.percentEncodedPath();
    if (written == kSearchPath) {
        return true;
    }
    return written.find('%') != std::string_view::npos && components.path() == kSearchPath;
}

bool hasItemNamedQ(const URLComponents& components) {
    const auto query = components.percentEncodedQuery();
    if (!query || query->empty()) {
        return false;
    }
    for (QuerySplitter pieces(*query); const auto piece = pieces.next();) {
        const std::string_view name = piece->segment.substr(0, piece->segment.find('='));
        if (name == "q" ||
            (name.find('%') != std::string_view::npos && decodedOrAsWritten(name) == "q")) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<RawQueryItem> parseRawQuery(
    const std::optional<std::string_view>& percentEncodedQuery) {
    std::vector<RawQueryItem> items;
    if (!percentEncodedQuery || percentEncodedQuery->empty()) {
        return items;
    }
    const std::string_view query = *percentEncodedQuery;
    items.reserve(static_cast<std::size_t>(std::count(query.begin(), query.end(), '&')) + 1);
    for (QuerySplitter pieces(query); const auto piece = pieces.next();) {
        const std::size_t equals = piece->segment.find('=');
        RawQueryItem& item = items.emplace_back();
        item.name = decodedOrAsWritten(piece->segment.substr(0, equals));
        if (equals != std::string_view::npos) {
            item.value = decodedOrAsWritten(piece->segment.substr(equals + 1));
        }
        item.segment = std::string(piece->segment);
        item.separator = piece->separator;
    }
    return items;
}

std::set<std::string> redditChallengeParameters(const URLComponents& components,
                                                std::span<const RawQueryItem> items) {
    std::string storage;
    const auto host = comparableHost(components, storage);
    if (!host || !isDomainOrSubdomain(*host, config::kRedditDomain)) {
        return {};
    }
    bool hasSolution = false;
    bool hasToken = false;
    bool marked = false;
    for (const RawQueryItem& item : items) {
        if ((item.name == "js_challenge" && item.value == "1") || item.name == "jsc_orig_r") {
            marked = true;
            break;
        }
        hasSolution = hasSolution || item.name == "solution";
        hasToken = hasToken || item.name == "token";
        if (hasSolution && hasToken) {
            marked = true;
            break;
        }
    }
    if (!marked) {
        return {};
    }
    return {"solution", "js_challenge", "token", "jsc_orig_r"};
}

bool isGoogleSearch(const URLComponents& components) {
    return isOnGoogleCom(components) && pathIsSearch(components) && hasItemNamedQ(components);
}

bool hasGoogleLocalFragment(const URLComponents& components) {
    const auto written = components.percentEncodedFragment();
    if (!written || written->empty() || !isGoogleSearch(components)) {
        return false;
    }
    // The markers are matched on the decoded fragment, where an escaped "=" or
    // ":" reads as itself.
    std::string decoded;
    std::string_view fragment = *written;
    if (fragment.find('%') != std::string_view::npos) {
        decoded = components.fragment().value_or(std::string(fragment));
        fragment = decoded;
    }
    constexpr std::array<std::string_view, 5> kMarkers{
        "lkt=", "lpg=", "trex=", "rc_ludocids:", "trex_id:"};
    return std::any_of(kMarkers.begin(), kMarkers.end(), [fragment](std::string_view marker) {
        return fragment.find(marker) != std::string_view::npos;
    });
}

}  // namespace scourlet::internal

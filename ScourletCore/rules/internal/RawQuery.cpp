#include "ScourletCore/rules/internal/RawQuery.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "ScourletCore/config/ServiceConfiguration.h"
#include "ScourletCore/platform/PercentEncoding.h"
#include "ScourletCore/platform/Text.h"

namespace scourlet::internal {
namespace {

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
    if (!query) {
        return false;
    }
    std::size_t start = 0;
    while (start <= query->size()) {
        std::size_t end = query->find('&', start);
        if (end == std::string_view::npos) {
            end = query->size();
        }
        const std::string_view segment = query->substr(start, end - start);
        const std::string_view name = segment.substr(0, segment.find('='));
        if (name == "q" ||
            (name.find('%') != std::string_view::npos && decodedOrAsWritten(name) == "q")) {
            return true;
        }
        start = end + 1;
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
    std::size_t start = 0;
    for (;;) {
        std::size_t end = query.find('&', start);
        if (end == std::string_view::npos) {
            end = query.size();
        }
        const std::string_view segment = query.substr(start, end - start);
        const std::size_t equals = segment.find('=');
        RawQueryItem& item = items.emplace_back();
        item.name = decodedOrAsWritten(segment.substr(0, equals));
        if (equals != std::string_view::npos) {
            item.value = decodedOrAsWritten(segment.substr(equals + 1));
        }
        item.segment = std::string(segment);
        if (end == query.size()) {
            break;
        }
        start = end + 1;
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

bool keepsRawQuerySegments(const URLComponents& components) {
    std::string storage;
    const auto host = comparableHost(components, storage);
    if (!host) {
        return false;
    }
    const std::array exactHosts{config::kAmazonShortLinkHost, config::kXHost,
                                config::kAirbnbHost,          config::kAirbnbWwwHost,
                                config::kYouTubeMusicHost,    config::kInstagramDomain,
                                config::kThreadsDomain,       config::kThreadsAlternateDomain};
    for (const std::string_view exact : exactHosts) {
        if (equalsLowered(*host, exact)) {
            return true;
        }
    }
    // Instagram and Threads serve the same links from subdomains (www., m.,
    // country hosts); X's subdomains are API and media hosts and do not count.
    const std::array domainsWithSubdomains{config::kInstagramDomain, config::kThreadsDomain,
                                           config::kThreadsAlternateDomain};
    for (const std::string_view domain : domainsWithSubdomains) {
        if (isDomainOrSubdomain(*host, domain)) {
            return true;
        }
    }
    return false;
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

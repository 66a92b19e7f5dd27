#include "ScourletCore/linkrewriting/ShareLinkResolutionPolicy.h"

#include <algorithm>
#include <vector>

#include "ScourletCore/config/ServiceConfiguration.h"
#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/internal/Utf8Codec.h"

namespace scourlet {

namespace {

constexpr std::string_view kHttpsPrefix = "https://";
constexpr std::string_view kWwwPrefix = "www.";
constexpr std::size_t kLongestShortLinkID = 64;
constexpr std::size_t kAmazonProductIDLength = 10;

bool startsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) {
               return p == t || (t >= 'A' && t <= 'Z' && p == t - 'A' + 'a');
           });
}

bool isAsciiAlphanumeric(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool isShortLinkIDChar(char c) {
    return isAsciiAlphanumeric(c) || c == '_' || c == '-';
}

bool isShortLinkID(std::string_view id) {
    return !id.empty() && id.size() <= kLongestShortLinkID &&
           std::all_of(id.begin(), id.end(), isShortLinkIDChar);
}

bool isAmazonProductID(std::string_view id) {
    return id.size() == kAmazonProductIDLength && std::all_of(id.begin(), id.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
           });
}

bool containsWhitespaceOrNewline(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        const auto decoded = internal::decodeUtf8At(text, pos);
        if (decoded.scalar != internal::kInvalidScalar && isWhitespaceOrNewline(decoded.scalar)) {
            return true;
        }
        pos += decoded.size;
    }
    return false;
}

// Pieces between "/", empty ones kept: "/d/x" gives "", "d", "x".
std::vector<std::string_view> allPathPieces(std::string_view path) {
    std::vector<std::string_view> pieces;
    for (;;) {
        const auto slash = path.find('/');
        pieces.push_back(path.substr(0, slash));
        if (slash == std::string_view::npos) {
            return pieces;
        }
        path.remove_prefix(slash + 1);
    }
}

// Pieces between "/", empty ones dropped: "/share/x/" gives "share", "x".
std::vector<std::string_view> nonEmptyPathPieces(std::string_view path) {
    auto pieces = allPathPieces(path);
    std::erase_if(pieces, [](std::string_view piece) { return piece.empty(); });
    return pieces;
}

// The host lower-cased, or "" without one.
std::string lowercasedHost(const URLComponents& components) {
    const auto host = components.host();
    return host ? lowercased(*host) : std::string();
}

// The host lower-cased without one leading "www."; nothing when that is empty.
std::optional<std::string> comparableHost(std::optional<std::string_view> host) {
    if (!host) {
        return std::nullopt;
    }
    std::string lower = lowercased(*host);
    if (lower.empty()) {
        return std::nullopt;
    }
    if (lower.starts_with(kWwwPrefix)) {
        lower.erase(0, kWwwPrefix.size());
    }
    return lower;
}

bool isThreadsDomain(std::string_view host) {
    return host == config::kThreadsDomain || host == config::kThreadsAlternateDomain;
}

// "https://", the short-link host and "/d/" (letters in any case), then an
// identifier up to the end of the text.
bool hasAmazonShortLinkText(std::string_view link) {
    if (!startsWithIgnoringAsciiCase(link, kHttpsPrefix)) {
        return false;
    }
    link.remove_prefix(kHttpsPrefix.size());
    if (!startsWithIgnoringAsciiCase(link, config::kAmazonShortLinkHost)) {
        return false;
    }
    link.remove_prefix(config::kAmazonShortLinkHost.size());
    if (!startsWithIgnoringAsciiCase(link, "/d/")) {
        return false;
    }
    return isShortLinkID(link.substr(3));
}

std::optional<ShareLinkService> amazonService(std::string_view link,
                                              const URLComponents& components) {
    if (!hasAmazonShortLinkText(link) || components.percentEncodedQuery() ||
        components.percentEncodedFragment()) {
        return std::nullopt;
    }
    const auto pieces = allPathPieces(components.percentEncodedPath());
    if (pieces.size() != 3 || !pieces[0].empty() || pieces[1] != "d" || !isShortLinkID(pieces[2])) {
        return std::nullopt;
    }
    return ShareLinkService::amazon;
}

}  // namespace

std::optional<URLComponents> ShareLinkResolutionPolicy::httpsComponents(std::string_view link) {
    if (link.find('\\') != std::string_view::npos || containsWhitespaceOrNewline(link)) {
        return std::nullopt;
    }
    auto components = URLComponents::parse(link);
    if (!components) {
        return std::nullopt;
    }
    const auto scheme = components->scheme();
    if (!scheme || asciiLowercased(*scheme) != "https" || !components->percentEncodedHost()) {
        return std::nullopt;
    }
    if (components->percentEncodedUser() || components->percentEncodedPassword() ||
        components->portString()) {
        return std::nullopt;
    }
    return components;
}

bool ShareLinkResolutionPolicy::needsResolution(std::string_view link) {
    // Every link on the short-link host waits for the network, even one whose
    // path service() refuses, so the user sees it cannot be cleaned offline.
    if (startsWithIgnoringAsciiCase(link, kHttpsPrefix) &&
        startsWithIgnoringAsciiCase(link.substr(kHttpsPrefix.size()),
                                    config::kAmazonShortLinkHost)) {
        const auto rest = link.substr(kHttpsPrefix.size() + config::kAmazonShortLinkHost.size());
        if (rest.empty() || rest.front() == '/' || rest.front() == '?' || rest.front() == '#') {
            const auto components = httpsComponents(link);
            if (components && lowercasedHost(*components) == config::kAmazonShortLinkHost) {
                return true;
            }
        }
    }
    return service(link).has_value();
}

std::optional<ShareLinkService> ShareLinkResolutionPolicy::service(std::string_view link) {
    const auto components = httpsComponents(link);
    if (!components) {
        return std::nullopt;
    }
    // A link on the short-link host is an Amazon link or nothing.
    if (lowercasedHost(*components) == config::kAmazonShortLinkHost) {
        return amazonService(link, *components);
    }
    const std::string decodedPath = components->path();
    const auto pieces = nonEmptyPathPieces(decodedPath);
    if (pieces.size() != 2 || pieces[0] != "share") {
        return std::nullopt;
    }
    const auto host = comparableHost(components->host());
    if (!host) {
        return std::nullopt;
    }
    if (*host == config::kInstagramDomain) {
        return ShareLinkService::instagram;
    }
    if (isThreadsDomain(*host)) {
        return ShareLinkService::threads;
    }
    return std::nullopt;
}

std::optional<std::string> ShareLinkResolutionPolicy::validatedCanonicalURL(
    std::string_view inputURL, std::string_view candidateURL) {
    const auto service = ShareLinkResolutionPolicy::service(inputURL);
    if (!service) {
        return std::nullopt;
    }
    const auto candidate = httpsComponents(candidateURL);
    if (!candidate) {
        return std::nullopt;
    }
    const auto host = comparableHost(candidate->host());
    if (!host) {
        return std::nullopt;
    }
    const std::string decodedPath = candidate->path();
    const auto pieces = nonEmptyPathPieces(decodedPath);
    switch (*service) {
        case ShareLinkService::instagram:
            if (*host == config::kInstagramDomain && pieces.size() >= 2 &&
                (pieces[0] == "p" || pieces[0] == "reel" || pieces[0] == "tv")) {
                return candidate->string();
            }
            return std::nullopt;
        case ShareLinkService::threads:
            if (isThreadsDomain(*host) && pieces.size() >= 3 && pieces[0].starts_with('@') &&
                pieces[1] == "post") {
                return candidate->string();
            }
            return std::nullopt;
        case ShareLinkService::amazon: {
            if (lowercasedHost(*candidate) != config::kAmazonStoreHost ||
                candidate->percentEncodedFragment()) {
                return std::nullopt;
            }
            const auto raw = allPathPieces(candidate->percentEncodedPath());
            if (raw.size() != 3 || !raw[0].empty() || raw[1] != "dp" ||
                !isAmazonProductID(raw[2])) {
                return std::nullopt;
            }
            // Rebuilt rather than passed on, so the service's query (tracking
            // of where the link came from) is dropped.
            std::string canonical(kHttpsPrefix);
            canonical.append(config::kAmazonStoreHost).append("/dp/").append(raw[2]);
            return canonical;
        }
    }
    return std::nullopt;
}

bool ShareLinkResolutionPolicy::allowedRedirectHost(std::optional<std::string_view> host,
                                                    ShareLinkService service) {
    if (!host) {
        return false;
    }
    switch (service) {
        case ShareLinkService::instagram: {
            const auto comparable = comparableHost(host);
            return comparable && *comparable == config::kInstagramDomain;
        }
        case ShareLinkService::threads: {
            const auto comparable = comparableHost(host);
            return comparable && isThreadsDomain(*comparable);
        }
        case ShareLinkService::amazon:
            // The "www." form only: the bare store domain is refused.
            return lowercased(*host) == config::kAmazonStoreHost;
    }
    return false;
}

}  // namespace scourlet

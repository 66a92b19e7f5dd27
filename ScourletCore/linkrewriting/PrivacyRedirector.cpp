#include "ScourletCore/linkrewriting/PrivacyRedirector.h"

#include <algorithm>

#include "ScourletCore/linkrewriting/internal/SourceHosts.h"
#include "ScourletCore/platform/Regex.h"
#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/URLComponents.h"

namespace scourlet {

namespace {

using Service = PrivacyServicesCatalog::Service;

const std::optional<Regex>& handlePathPattern() {
    static const auto pattern = Regex::compile(R"(^/[A-Za-z0-9_]{1,15}$)");
    return pattern;
}

const std::optional<Regex>& handleStatusPathPattern() {
    static const auto pattern = Regex::compile(R"(^/[A-Za-z0-9_]{1,15}/status/[0-9]{1,20}$)");
    return pattern;
}

const std::optional<Regex>& nitterStatusPathPattern() {
    static const auto pattern = Regex::compile(R"(^/(?:[A-Za-z0-9_]{1,15}|i)/status/[0-9]{1,20}$)");
    return pattern;
}

bool matches(const std::optional<Regex>& pattern, std::string_view text) {
    return pattern && pattern->matches(text);
}

bool isReservedSegment(std::string_view segment) {
    const std::string lower = lowercased(segment);
    const auto& reserved = PrivacyRedirector::reservedXPathSegments;
    return std::find(reserved.begin(), reserved.end(), lower) != reserved.end();
}

std::string_view firstNonEmptySegment(std::string_view path) {
    const std::size_t start = path.find_first_not_of('/');
    if (start == std::string_view::npos) {
        return {};
    }
    const std::size_t end = path.find('/', start);
    return path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

bool isProfilePath(std::string_view path) {
    return matches(handlePathPattern(), path) && !isReservedSegment(path.substr(1));
}

// Status links under "i" are not TwitterViewer's.
bool isTwitterViewerPath(std::string_view path) {
    return isProfilePath(path) || (matches(handleStatusPathPattern(), path) &&
                                   !isReservedSegment(firstNonEmptySegment(path)));
}

std::optional<std::string_view> nitterShape(std::string_view path) {
    if (isProfilePath(path)) {
        return "profile";
    }
    if (matches(nitterStatusPathPattern(), path)) {
        const std::string first = lowercased(firstNonEmptySegment(path));
        if (first == "i") {
            return "status";
        }
        return isReservedSegment(first) ? std::nullopt : std::optional<std::string_view>("status");
    }
    return std::nullopt;
}

// The path exactly as written in the link text. The parser's path must equal
// it, so user information, a port, a trailing dot on the host or any other
// unusual spelling makes the link ineligible.
std::optional<std::string_view> literalPath(std::string_view urlString, std::string_view host) {
    const std::size_t separator = urlString.find("://");
    if (separator == std::string_view::npos ||
        lowercased(urlString.substr(0, separator)) != "https") {
        return std::nullopt;
    }
    const std::string_view rest = urlString.substr(separator + 3);
    const std::size_t authorityEnd = rest.find_first_of("/?#");
    if (lowercased(rest.substr(0, authorityEnd)) != host) {
        return std::nullopt;
    }
    if (authorityEnd == std::string_view::npos || rest[authorityEnd] != '/') {
        return std::string_view();
    }
    const std::string_view path = rest.substr(authorityEnd);
    return path.substr(0, path.find_first_of("?#"));
}

bool contains(const std::vector<std::string>& values, std::string_view value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

}  // namespace

const std::vector<std::string>& PrivacyRedirector::xTwitterSourceHosts() {
    return internal::xTwitterSourceHosts();
}

const std::vector<std::string>& PrivacyRedirector::redditSourceHosts() {
    return internal::redditSourceHosts();
}

std::optional<std::string> PrivacyRedirector::normalizedFrontendBaseURL(
    std::string_view raw, std::optional<std::string_view> fallback) {
    const std::string_view trimmed = trimmingWhitespaceAndNewlines(raw);
    std::string candidate;
    if (trimmed.find("://") != std::string_view::npos) {
        candidate.assign(trimmed);
    } else if (!trimmed.empty()) {
        candidate.append("https://").append(trimmed);
    } else if (fallback) {
        candidate.assign(*fallback);
    } else {
        return std::nullopt;
    }

    auto url = URLComponents::parse(candidate);
    bool accepted = false;
    std::string lowerScheme;
    if (url) {
        const auto scheme = url->scheme();
        lowerScheme = scheme ? lowercased(*scheme) : std::string();
        const auto host = url->percentEncodedHost();
        accepted = (lowerScheme == "http" || lowerScheme == "https") && host && !host->empty() &&
                   !url->percentEncodedUser() && !url->percentEncodedPassword() &&
                   !url->percentEncodedQuery() && !url->percentEncodedFragment();
    }
    if (!accepted) {
        if (!fallback || *fallback == raw) {
            return std::nullopt;
        }
        return normalizedFrontendBaseURL(*fallback, std::nullopt);
    }
    // Rewritten links start with the base, and a cleaned link is spelled
    // "http://" or "https://" whatever letter case the user typed.
    if (!url->setScheme(lowerScheme)) {
        return std::nullopt;  // cannot happen: the scheme was checked above
    }
    const std::string_view path = url->percentEncodedPath();
    if (!path.empty() && path != "/" && !url->setPercentEncodedPath("")) {
        return std::nullopt;  // cannot happen under an authority
    }
    std::string normalized = url->string();
    if (!normalized.empty() && normalized.back() == '/') {
        normalized.pop_back();
    }
    return normalized;
}

const Service* PrivacyRedirector::selectedServicePointer(
    const PrivacyRedirectSettings& settings, std::optional<std::string_view> shape) const {
    if (settings.xRedirectChoice != XRedirectChoice::nitter || !catalog_) {
        return nullptr;
    }
    const Service* chosen = nullptr;
    for (const Service* candidate : catalog_->choicePointers(now_)) {
        if (shape && !contains(candidate->shapes, *shape)) {
            continue;
        }
        if (settings.nitterAutomatic) {
            // The smallest id; among equal ids the first, as a stable sort gives.
            if (chosen == nullptr || candidate->id < chosen->id) {
                chosen = candidate;
            }
        } else if (candidate->id == settings.nitterServiceID) {
            // An explicit pick that is missing, stale or lacks the shape is
            // never swapped for another instance.
            return candidate;
        }
    }
    return chosen;
}

std::optional<Service> PrivacyRedirector::selectedService(
    const PrivacyRedirectSettings& settings, std::optional<std::string_view> shape) const {
    const Service* service = selectedServicePointer(settings, shape);
    return service != nullptr ? std::optional<Service>(*service) : std::nullopt;
}

std::string PrivacyRedirector::status(const PrivacyRedirectSettings& settings) const {
    if (settings.xRedirectChoice != XRedirectChoice::nitter) {
        return "Nitter-compatible redirects are not selected.";
    }
    const Service* service = selectedServicePointer(settings, std::nullopt);
    if (service == nullptr) {
        return "Selected Nitter-compatible instance unavailable or ineligible. X/Twitter links "
               "stay canonical; no substitute selected.";
    }
    std::string text = settings.nitterAutomatic ? "Automatic selection: " : "Selected instance: ";
    text.append(service->displayName ? *service->displayName : service->id);
    text.append(". Only supported public paths are redirected. Availability is not checked.");
    return text;
}

std::optional<PrivacyRedirectResult> PrivacyRedirector::redirect(
    std::string_view urlString, const PrivacyRedirectSettings& settings) const {
    auto url = URLComponents::parse(urlString);
    if (!url) {
        return std::nullopt;
    }
    const auto scheme = url->scheme();
    if (!scheme) {
        return std::nullopt;
    }
    const std::string lowerScheme = lowercased(*scheme);
    if (lowerScheme != "http" && lowerScheme != "https") {
        return std::nullopt;
    }
    const auto linkHost = url->host();
    if (!linkHost || linkHost->empty()) {
        return std::nullopt;
    }
    std::string host = lowercased(*linkHost);

    std::optional<std::string> base;
    PrivacyRedirectService service = PrivacyRedirectService::xTwitter;
    if (settings.xRedirectChoice != XRedirectChoice::off && internal::isXTwitterSourceHost(host)) {
        if (lowerScheme != "https" || url->percentEncodedUser() || url->percentEncodedPassword() ||
            url->portString() || urlString.find('\\') != std::string_view::npos) {
            return std::nullopt;
        }
        const auto path = literalPath(urlString, host);
        if (!path || *path != url->percentEncodedPath()) {
            return std::nullopt;
        }
        std::string_view frontend;
        if (settings.xRedirectChoice == XRedirectChoice::twitterViewer) {
            if (!isTwitterViewerPath(*path)) {
                return std::nullopt;
            }
            frontend = PrivacyRedirectSettings::twitterViewerBaseURL;
        } else {
            const auto shape = nitterShape(*path);
            const Service* instance = shape ? selectedServicePointer(settings, shape) : nullptr;
            if (instance == nullptr || !contains(instance->sourceHosts, host)) {
                return std::nullopt;
            }
            frontend = instance->destination;
        }
        base = normalizedFrontendBaseURL(frontend, std::nullopt);
    } else if (settings.redditRedirectEnabled && internal::isRedditSourceHost(host)) {
        service = PrivacyRedirectService::reddit;
        base = normalizedFrontendBaseURL(settings.redditFrontendBaseURL,
                                         PrivacyRedirectSettings::defaultRedditFrontendBaseURL);
    } else {
        return std::nullopt;
    }
    if (!base) {
        return std::nullopt;
    }

    const auto frontendURL = URLComponents::parse(*base);
    if (!frontendURL) {
        return std::nullopt;
    }
    const auto frontendScheme = frontendURL->scheme();
    const auto frontendHostAsWritten = frontendURL->percentEncodedHost();
    const auto frontendHostDecoded = frontendURL->host();
    if (!frontendScheme || !frontendHostAsWritten || !frontendHostDecoded ||
        frontendHostDecoded->empty()) {
        return std::nullopt;
    }
    std::string frontendHost = lowercased(*frontendHostDecoded);
    if (frontendHost == host) {
        return std::nullopt;
    }

    URLComponents rewritten = *url;
    rewritten.removeUserInfo();
    if (!rewritten.setScheme(*frontendScheme) ||
        !rewritten.setPercentEncodedHost(*frontendHostAsWritten) ||
        !rewritten.setPort(frontendURL->port())) {
        return std::nullopt;
    }
    if (rewritten.string() == urlString) {
        return std::nullopt;
    }
    return PrivacyRedirectResult{std::string(urlString), rewritten.string(), service,
                                 std::move(host), std::move(frontendHost)};
}

}  // namespace scourlet

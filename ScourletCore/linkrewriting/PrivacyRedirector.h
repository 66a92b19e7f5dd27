// Rewrites one cleaned link to a privacy front-end when the settings ask for
// it: X/Twitter profile and status links to a Nitter-compatible instance from
// the verified services catalog or to TwitterViewer, Reddit links to the
// user's Reddit front-end.
//
// It is strict about form: it rewrites only links whose scheme, host, port,
// user information and literal path it fully understands, and in every other
// case returns nothing, so the caller keeps the cleaned link. An unusable
// Reddit front-end entry falls back to the default front-end; an unusable or
// missing catalog instance leaves the X/Twitter link alone, never replaced by
// another instance.
//
//   PrivacyRedirector redirector(store.current(), nowSeconds);
//   if (auto result = redirector.redirect(cleanedURL, settings)) use(result->redirectedURL);
//   std::string line = redirector.status(settings);
//
// An immutable value; every member is a pure function of its arguments, the
// two fields and fixed host sets, and may run on any thread. It touches no
// store and makes no network request.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/linkrewriting/PrivacyRedirectResult.h"
#include "ScourletCore/linkrewriting/PrivacyRedirectSettings.h"
#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"

namespace scourlet {

class PrivacyRedirector {
public:
    // `catalog`: the verified catalog in force (nothing when there is none);
    // `now`: the current time in whole seconds since 1970 UTC, which decides
    // which catalog services are current.
    PrivacyRedirector(std::optional<PrivacyServicesCatalog::Verified> catalog, std::uint64_t now)
        : catalog_(std::move(catalog)), now_(now) {}

    const std::optional<PrivacyServicesCatalog::Verified>& catalog() const { return catalog_; }
    std::uint64_t now() const { return now_; }

    // The rewritten link, or nothing when the link is not rewritten: not an
    // http(s) URL with a host, a host of neither service, a service not
    // enabled, or (for X/Twitter) plain http, user information, an explicit
    // port, a backslash, a path the URL parser and the text disagree on, a
    // path of no supported shape, no eligible instance, or a front-end on the
    // link's own host. Path, query and fragment are kept as written.
    std::optional<PrivacyRedirectResult> redirect(std::string_view urlString,
                                                  const PrivacyRedirectSettings& settings) const;

    // The catalog service for a Nitter-compatible rewrite of a link of `shape`
    // ("profile" or "status"; nothing asks for any shape): with automatic
    // selection the offered service with the smallest id, otherwise exactly
    // the picked one. Nothing when the choice is not nitter, there is no
    // catalog, or no offered service fits.
    std::optional<PrivacyServicesCatalog::Service> selectedService(
        const PrivacyRedirectSettings& settings, std::optional<std::string_view> shape) const;

    // The status line of the X redirect settings.
    std::string status(const PrivacyRedirectSettings& settings) const;

    // A user's front-end entry as a base URL: trimmed, "https://" added when
    // there is no "://", accepted only for http(s) with a host and without
    // user, password, query or fragment; any path is dropped, as is one final
    // "/"; scheme, host and an explicit port are kept as written. A rejected
    // entry gives the normalized `fallback` (no further fallback), or nothing
    // when `fallback` is nothing or equal to `raw`.
    static std::optional<std::string> normalizedFrontendBaseURL(
        std::string_view raw, std::optional<std::string_view> fallback);

    // The five X/Twitter hosts and six Reddit hosts whose links are rewritten
    // (lower-case, ascending).
    static const std::vector<std::string>& xTwitterSourceHosts();
    static const std::vector<std::string>& redditSourceHosts();

    // First path segments that are not user handles (compared lower-cased).
    static constexpr std::array<std::string_view, 17> reservedXPathSegments = {
        "i",        "home",     "login",         "logout",  "search", "explore",
        "settings", "messages", "notifications", "intent",  "share",  "compose",
        "hashtag",  "tos",      "privacy",       "account", "signup",
    };

private:
    const PrivacyServicesCatalog::Service* selectedServicePointer(
        const PrivacyRedirectSettings& settings, std::optional<std::string_view> shape) const;

    std::optional<PrivacyServicesCatalog::Verified> catalog_;
    std::uint64_t now_ = 0;
};

}  // namespace scourlet

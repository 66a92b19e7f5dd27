// Resolves a share link by one bounded HTTPS request: follows the service's
// redirects while they stay on the service, and accepts only a final address
// of the service's canonical shape.
//
// The request carries only "User-Agent: Scourlet/1.0" and
// "Accept: text/html,application/xhtml+xml" (and Host), keeps no cookies and
// reads no body: it ends once the final response's head is in. At most four
// redirects, a connection within 6 seconds, never 6 seconds without a byte and
// 8 seconds in all. Blocks; run it off the main thread.
//
//   auto resolved = ShareLinkResolver::resolve("https://a.co/d/abc123");
//   if (resolved) use(resolved->canonicalURL);
//   else show(errorDescription(resolved.error()));
#pragma once

#include <chrono>
#include <string_view>

#include "ScourletCore/linkrewriting/ResolvedShareLink.h"
#include "ScourletCore/linkrewriting/ShareLinkResolutionError.h"
#include "ScourletCore/linkrewriting/ShareLinkService.h"
#include "ScourletCore/platform/CurlHttpTransport.h"
#include "ScourletCore/platform/HttpTransport.h"
#include "ScourletCore/platform/Result.h"

namespace scourlet {

class ShareLinkResolver {
public:
    static constexpr int kMaxRedirects = 4;
    // Longest wait to connect and, once connected, for the next byte.
    static constexpr std::chrono::seconds kRequestTimeout{6};
    // Longest time for the whole resolution.
    static constexpr std::chrono::seconds kResourceTimeout{8};
    static constexpr std::string_view kUserAgent = "Scourlet/1.0";
    static constexpr std::string_view kAccept = "text/html,application/xhtml+xml";

    // Resolves `link` through `transport`. Fails with
    //   - `unsupported` when the link is no share link (ShareLinkResolutionPolicy::
    //     service); nothing is sent;
    //   - `unsafeRedirect` when a redirect goes elsewhere than the service's hosts,
    //     over another scheme than https, with credentials or a port, or past the
    //     fourth; the refused redirect is not followed;
    //   - `noCanonicalDestination` when the final address is no canonical link
    //     (ShareLinkResolutionPolicy::validatedCanonicalURL), whatever its status;
    //   - `requestFailed` for anything else: no connection, a time-out, a TLS
    //     failure, a broken transfer.
    static Result<ResolvedShareLink, ShareLinkResolutionError> resolve(
        std::string_view link, HttpTransport& transport = CurlHttpTransport::shared());

private:
    explicit ShareLinkResolver(ShareLinkService service) : service_(service) {}

    // Follows a redirect only to an https address on the service's hosts,
    // without credentials or port, and at most kMaxRedirects times; a refusal
    // is remembered, as it decides the outcome.
    HttpRedirectDecision decideRedirect(const HttpRedirect& redirect);

    // The redirect hook runs on the thread that called send(), before send()
    // returns, so these need no lock.
    const ShareLinkService service_;
    int followedRedirects_ = 0;
    bool rejectedRedirect_ = false;
};

}  // namespace scourlet

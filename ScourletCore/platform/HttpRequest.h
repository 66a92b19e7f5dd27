// One HTTP GET request as the transport sends it: the URL, the header fields,
// the limits, what to do with the body and how redirects are decided.
//
// Redirects are never followed on their own. For each redirect response
// (301, 302, 303, 307 or 308 with a Location field) the transport asks
// `onRedirect`; the caller sees the status and where the redirect leads and
// answers follow or stop. Without `onRedirect` every redirect stops the call
// and is its final response.
//
//   HttpRequest request{.url = "https://example.com/feed.json"};
//   (void)request.headerFields.set("Accept", "application/json");
//   request.bodyHandling = HttpBodyHandling::keep;
//   request.onRedirect = [](const HttpRedirect& r) {
//       return r.status == 301 ? HttpRedirectDecision::follow : HttpRedirectDecision::stop;
//   };
#pragma once

#include <functional>
#include <optional>
#include <stop_token>
#include <string>

#include "ScourletCore/platform/HttpHeaderFields.h"
#include "ScourletCore/platform/HttpRequestOptions.h"

namespace scourlet {

// What happens to the body of the final response.
enum class HttpBodyHandling {
    // Kept in HttpResponse::body; more than maxBodyBytes fails the call.
    keep,
    // Read to its end and dropped as it arrives; still counted against
    // maxBodyBytes, so a body that never ends cannot hold the call.
    discard,
    // The call ends as soon as the head of the final response is in; no body
    // byte is read and maxBodyBytes does not come into play.
    stopAfterHead,
};

// A redirect response, as shown to HttpRequest::onRedirect.
struct HttpRedirect {
    // 301, 302, 303, 307 or 308.
    int status = 0;
    // The Location field exactly as received.
    std::string location;
    // `location` resolved against `fromURL` into an absolute URL; nothing when
    // it is empty or no URL (for example "javascript:x").
    std::optional<std::string> target;
    // The URL that answered with the redirect.
    std::string fromURL;
    // Redirects already followed in this call (0 for the first redirect).
    int redirectsFollowed = 0;
};

enum class HttpRedirectDecision { follow, stop };

struct HttpRequest {
    // Absolute URL; its scheme must be one of options.allowedSchemes().
    std::string url;
    // Sent with the first request and with every followed redirect. The
    // transport adds Host and, when not set here, "Accept: */*"; nothing else.
    HttpHeaderFields headerFields;
    HttpRequestOptions options;
    HttpBodyHandling bodyHandling = HttpBodyHandling::keep;
    // Asked once per redirect response, on the thread that called send(),
    // before send() returns; it must not throw. A "follow" answer is still refused with an error
    // when the redirect has no target, uses a scheme that is not allowed or
    // would pass options.maxRedirects().
    std::function<HttpRedirectDecision(const HttpRedirect&)> onRedirect;
    // When stop is requested the call ends soon with HttpError::Kind::cancelled.
    std::stop_token stopToken;
};

}  // namespace scourlet

// Which links are share links that only their service can resolve (Amazon
// short links, Instagram and Threads "share" links), and which answers of the
// service may be trusted: the hosts a redirect may go to and the shape of an
// acceptable canonical link. Every operation is pure and needs no network.
//
//   if (ShareLinkResolutionPolicy::needsResolution(link)) offerResolve();
//   auto service = ShareLinkResolutionPolicy::service("https://www.instagram.com/share/AbC");
//   auto canonical = ShareLinkResolutionPolicy::validatedCanonicalURL(
//       "https://a.co/d/abc", "https://www.amazon.com/dp/B0ABCDEFGH?ref=x");
//   // "https://www.amazon.com/dp/B0ABCDEFGH"
//
// Host names come from config/ServiceConfiguration.h.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/linkrewriting/ShareLinkService.h"
#include "ScourletCore/platform/URLComponents.h"

namespace scourlet {

class ShareLinkResolutionPolicy {
public:
    ShareLinkResolutionPolicy() = delete;

    // The parsed link when it is safe to treat as an HTTPS address: no
    // backslash, no white space or line break anywhere, a strict URL parse,
    // the scheme "https" (any case), a host, and no user name, password or
    // port (not even an empty one). Nothing otherwise.
    static std::optional<URLComponents> httpsComponents(std::string_view link);

    // Whether the link waits for network resolution: every link on the Amazon
    // short-link host (also shapes service() refuses), and every link
    // service() recognises. Never fails.
    static bool needsResolution(std::string_view link);

    // The service whose share-link shape the link has: "https://" on the
    // Amazon short-link host with exactly "/d/" and an identifier of 1 to 64
    // letters, digits, "_" or "-" and nothing after it; or on the Instagram
    // domain or a Threads domain ("www." allowed) with the path "/share/ID"
    // ("/share/ID/" too), query and fragment allowed. Nothing otherwise.
    static std::optional<ShareLinkService> service(std::string_view link);

    // The canonical link to accept when `candidateURL` is where the service
    // led `inputURL`: an Instagram post ("/p/", "/reel/" or "/tv/" and an ID)
    // or a Threads post ("/@NAME/post/ID") as given, query and fragment kept;
    // for Amazon, a product link "/dp/" plus a 10-character identifier of
    // digits and capitals on the store host, rebuilt as
    // "https://www.amazon.com/dp/ID" without the query. Nothing when
    // `inputURL` is no share link or `candidateURL` is not of that shape.
    static std::optional<std::string> validatedCanonicalURL(std::string_view inputURL,
                                                            std::string_view candidateURL);

    // Whether a redirect of a `service` share link may go to `host`: the
    // Instagram or a Threads domain ("www." allowed, any case), or for Amazon
    // the store host in its "www." form only. False without a host.
    static bool allowedRedirectHost(std::optional<std::string_view> host, ShareLinkService service);
};

}  // namespace scourlet

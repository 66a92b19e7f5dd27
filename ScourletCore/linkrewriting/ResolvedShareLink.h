// What resolving a share link gave: the link as it was passed, the canonical
// link the service led to, the host that was contacted and how many redirects
// were followed.
//
//   auto resolved = ShareLinkResolver::resolve("https://a.co/d/abc123");
//   if (resolved) writeBack(resolved->canonicalURL);   // "https://www.amazon.com/dp/..."
#pragma once

#include <string>

namespace scourlet {

struct ResolvedShareLink {
    // The share link exactly as the caller passed it.
    std::string originalURL;
    // The validated canonical link.
    std::string canonicalURL;
    // The share link's host as parsed (case kept): where the request went.
    std::string contactedHost;
    // Redirects followed, 0 to 4.
    int redirectCount = 0;

    bool operator==(const ResolvedShareLink&) const = default;
};

}  // namespace scourlet

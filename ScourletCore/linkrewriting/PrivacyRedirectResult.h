// What PrivacyRedirector::redirect() returns for a link it rewrote: the link
// as passed in, the rewritten link, the service and the two hosts.
//
//   if (auto result = redirector.redirect(url, settings)) {
//       operations.push_back(... result->redirectedURL ...);
//       cleanResult.privacyRedirect = result->info();
//   }
#pragma once

#include <string>

#include "ScourletCore/linkrewriting/PrivacyRedirectInfo.h"
#include "ScourletCore/linkrewriting/PrivacyRedirectService.h"

namespace scourlet {

struct PrivacyRedirectResult {
    std::string originalURL;    // the URL string passed in, unchanged
    std::string redirectedURL;  // the rewritten URL
    PrivacyRedirectService service = PrivacyRedirectService::xTwitter;
    std::string originalHost;  // lower-case
    std::string frontendHost;  // lower-case

    bool operator==(const PrivacyRedirectResult&) const = default;

    // The record a clean result carries: service and the two hosts.
    PrivacyRedirectInfo info() const {
        return PrivacyRedirectInfo{service, originalHost, frontendHost};
    }
};

}  // namespace scourlet

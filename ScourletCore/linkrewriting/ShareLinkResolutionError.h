// Why a share link could not be resolved, with the text the user is shown.
//
//   auto resolved = ShareLinkResolver::resolve(link);
//   if (!resolved) showMessage(errorDescription(resolved.error()));
#pragma once

#include <string_view>

namespace scourlet {

enum class ShareLinkResolutionError {
    // Not a share link of a supported service; nothing was sent.
    unsupported,
    // A redirect left the service, used another scheme, credentials or a
    // port, or went past the fourth.
    unsafeRedirect,
    // The final address is not a canonical link of the service.
    noCanonicalDestination,
    // The request failed: no network, a time-out, a TLS failure, cancellation.
    requestFailed,
};

// The message for the user, e.g. "This is not a supported share link."
std::string_view errorDescription(ShareLinkResolutionError error);

}  // namespace scourlet

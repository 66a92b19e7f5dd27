#include "ScourletCore/linkrewriting/ShareLinkResolutionError.h"

namespace scourlet {

std::string_view errorDescription(ShareLinkResolutionError error) {
    switch (error) {
        case ShareLinkResolutionError::unsupported:
            return "This is not a supported share link.";
        case ShareLinkResolutionError::unsafeRedirect:
            return "The link tried to leave the expected service, so Scourlet stopped.";
        case ShareLinkResolutionError::noCanonicalDestination:
            return "The service did not return a canonical post link.";
        case ShareLinkResolutionError::requestFailed:
            return "The share link could not be resolved. The current locally processed link "
                   "was kept.";
    }
    return {};
}

}  // namespace scourlet

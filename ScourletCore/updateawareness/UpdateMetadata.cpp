#include "ScourletCore/updateawareness/UpdateMetadata.h"

#include <algorithm>
#include <utility>

#include "ScourletCore/platform/BoundedDownload.h"

namespace scourlet {

namespace {

std::string httpsURL(std::string_view host, std::string_view path) {
    std::string url = "https://";
    url.append(host);
    url.append(path);
    return url;
}

}  // namespace

std::string UpdateMetadata::desktopURL(std::string_view host) {
    return httpsURL(host, kDesktopPath);
}

std::string UpdateMetadata::iosURL(std::string_view host) {
    return httpsURL(host, kIOSPath);
}

std::string UpdateMetadata::stableRulesManifestURL(std::string_view host) {
    return httpsURL(host, kStableRulesManifestPath);
}

std::string UpdateMetadata::betaRulesManifestURL(std::string_view host) {
    return httpsURL(host, kBetaRulesManifestPath);
}

bool UpdateMetadata::isMetadataURL(std::string_view url, std::string_view host) {
    return url == desktopURL(host) || url == iosURL(host) || url == stableRulesManifestURL(host) ||
           url == betaRulesManifestURL(host);
}

Result<std::string, UpdateMetadataError> UpdateMetadata::fetch(HttpTransport& transport,
                                                               std::string_view url,
                                                               std::int64_t limit,
                                                               std::string_view host,
                                                               std::stop_token stop) {
    if (!isMetadataURL(url, host)) {
        return UpdateMetadataError{UpdateMetadataError::Kind::unsupportedURL,
                                   "not a release metadata address: " + std::string(url),
                                   {}};
    }
    const auto cap = static_cast<std::uint64_t>(std::max<std::int64_t>(limit, 0));
    auto body = BoundedDownload::fetch(transport, url, cap, std::move(stop));
    if (body) {
        return std::move(*body);
    }
    const BoundedDownload::Failure& failure = body.error();
    if (failure.kind == BoundedDownload::Failure::Kind::unexpectedResponse) {
        return UpdateMetadataError{UpdateMetadataError::Kind::badServerResponse,
                                   "status " + std::to_string(failure.status) +
                                       " or another final URL for " + std::string(url),
                                   {}};
    }
    // The transport reports a declared length over the cap and a body that
    // grows past it alike; both are the same refusal here.
    if (failure.isOverCap()) {
        return UpdateMetadataError{UpdateMetadataError::Kind::dataLengthExceedsMaximum,
                                   failure.transport.message, failure.transport};
    }
    return UpdateMetadataError{UpdateMetadataError::Kind::transport, failure.transport.message,
                               failure.transport};
}

}  // namespace scourlet

#include "ScourletCore/platform/BoundedDownload.h"

#include <utility>

namespace scourlet {

namespace {

BoundedDownload::Failure transportFailure(HttpError error) {
    BoundedDownload::Failure failure;
    failure.kind = BoundedDownload::Failure::Kind::transport;
    failure.transport = std::move(error);
    return failure;
}

}  // namespace

Result<std::string, BoundedDownload::Failure> BoundedDownload::fetch(HttpTransport& transport,
                                                                     std::string_view url,
                                                                     std::uint64_t cap,
                                                                     std::stop_token stop) {
    HttpRequest request;
    request.url = std::string(url);
    request.bodyHandling = HttpBodyHandling::keep;
    request.stopToken = std::move(stop);
    // No onRedirect hook: a redirect ends the call as its final response and
    // is refused below. The redirect limit and scheme list say the same.
    if (!request.options.setConnectTimeout(kConnectTimeout) ||
        !request.options.setIdleTimeout(kIdleTimeout) ||
        !request.options.setTotalTimeout(kTotalTimeout) || !request.options.setMaxRedirects(0) ||
        !request.options.setAllowedSchemes({"https"})) {
        return transportFailure({HttpError::Kind::invalidRequest, "unusable limits", request.url});
    }
    if (!request.options.setMaxBodyBytes(cap)) {
        return transportFailure({HttpError::Kind::invalidRequest,
                                 "byte cap " + std::to_string(cap) + " is above the largest",
                                 request.url});
    }

    auto response = transport.send(request);
    if (!response) {
        return transportFailure(response.error());
    }
    if (response->status != 200 || response->url != request.url) {
        Failure failure;
        failure.kind = Failure::Kind::unexpectedResponse;
        failure.status = response->status;
        return failure;
    }
    return std::move(response->body);
}

}  // namespace scourlet

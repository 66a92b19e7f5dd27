#include "ScourletCore/linkrewriting/ShareLinkResolver.h"

#include <string>

#include "ScourletCore/linkrewriting/ShareLinkResolutionPolicy.h"
#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/URLComponents.h"

namespace scourlet {

namespace {

HttpRequestOptions resolutionOptions() {
    HttpRequestOptions options;
    // The values are constants within every setter's range.
    (void)options.setTotalTimeout(ShareLinkResolver::kResourceTimeout);
    (void)options.setConnectTimeout(ShareLinkResolver::kRequestTimeout);
    (void)options.setIdleTimeout(ShareLinkResolver::kRequestTimeout);
    // The body is never read, so none may be accepted either.
    (void)options.setMaxBodyBytes(0);
    (void)options.setMaxRedirects(ShareLinkResolver::kMaxRedirects);
    (void)options.setAllowedSchemes({"https"});
    return options;
}

}  // namespace

HttpRedirectDecision ShareLinkResolver::decideRedirect(const HttpRedirect& redirect) {
    const auto target =
        redirect.target ? URLComponents::parse(*redirect.target) : std::optional<URLComponents>();
    const auto scheme = target ? target->scheme() : std::nullopt;
    const bool acceptable =
        scheme && asciiLowercased(*scheme) == "https" && !target->percentEncodedUser() &&
        !target->percentEncodedPassword() && !target->portString() &&
        ShareLinkResolutionPolicy::allowedRedirectHost(target->host(), service_);
    if (!acceptable || followedRedirects_ >= kMaxRedirects) {
        rejectedRedirect_ = true;
        return HttpRedirectDecision::stop;
    }
    ++followedRedirects_;
    return HttpRedirectDecision::follow;
}

Result<ResolvedShareLink, ShareLinkResolutionError> ShareLinkResolver::resolve(
    std::string_view link, HttpTransport& transport) {
    const auto service = ShareLinkResolutionPolicy::service(link);
    if (!service) {
        return ShareLinkResolutionError::unsupported;
    }
    const auto components = ShareLinkResolutionPolicy::httpsComponents(link);
    auto host = components ? components->host() : std::nullopt;
    if (!host) {
        return ShareLinkResolutionError::unsupported;
    }

    ShareLinkResolver resolver(*service);
    HttpRequest request;
    request.url = std::string(link);
    (void)request.headerFields.set("User-Agent", kUserAgent);
    (void)request.headerFields.set("Accept", kAccept);
    request.options = resolutionOptions();
    // The page behind the link is of no use and may be large: the call ends
    // once the final head is in, so no body byte is read.
    request.bodyHandling = HttpBodyHandling::stopAfterHead;
    request.onRedirect = [&resolver](const HttpRedirect& redirect) {
        return resolver.decideRedirect(redirect);
    };

    const auto response = transport.send(request);
    if (resolver.rejectedRedirect_) {
        return ShareLinkResolutionError::unsafeRedirect;
    }
    if (!response) {
        switch (response.error().kind) {
            case HttpError::Kind::schemeNotAllowed:
            case HttpError::Kind::badRedirect:
            case HttpError::Kind::tooManyRedirects:
                // A redirect the transport would not follow left the expected path.
                return ShareLinkResolutionError::unsafeRedirect;
            default:
                return ShareLinkResolutionError::requestFailed;
        }
    }
    // The status does not matter: a service may answer its canonical page
    // with an error status and still have told where the post lives.
    auto canonical = ShareLinkResolutionPolicy::validatedCanonicalURL(link, response->url);
    if (!canonical) {
        return ShareLinkResolutionError::noCanonicalDestination;
    }
    return ResolvedShareLink{std::string(link), std::move(*canonical), std::move(*host),
                             resolver.followedRedirects_};
}

}  // namespace scourlet

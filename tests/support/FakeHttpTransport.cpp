#include "support/FakeHttpTransport.h"

#include <string>
#include <utility>

#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/URLComponents.h"

namespace scourlet::testing {

namespace {

bool isRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string schemeOf(const std::string& url) {
    const auto parsed = URLComponents::parse(url);
    const auto scheme = parsed ? parsed->scheme() : std::nullopt;
    return scheme ? asciiLowercased(*scheme) : std::string();
}

HttpError failed(HttpError::Kind kind, std::string message, const std::string& url) {
    return HttpError{kind, std::move(message), url};
}

}  // namespace

FakeHttpTransport::Reply FakeHttpTransport::ok(std::string body, int status) {
    Reply reply;
    reply.status = status;
    reply.body = std::move(body);
    return reply;
}

FakeHttpTransport::Reply FakeHttpTransport::redirect(std::string location, int status) {
    Reply reply;
    reply.status = status;
    reply.headerFields.append("Location", std::move(location));
    return reply;
}

FakeHttpTransport::Reply FakeHttpTransport::failure(HttpError::Kind kind) {
    Reply reply;
    reply.failure = kind;
    return reply;
}

void FakeHttpTransport::on(std::string url, Reply reply) {
    std::lock_guard lock(mutex_);
    replies_[std::move(url)] = std::move(reply);
}

std::vector<FakeHttpTransport::SentRequest> FakeHttpTransport::sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

std::vector<HttpRedirect> FakeHttpTransport::redirectsShown() const {
    std::lock_guard lock(mutex_);
    return redirects_;
}

std::optional<std::string> FakeHttpTransport::resolve(const std::string& base,
                                                      const std::string& location) {
    const auto parsedBase = URLComponents::parse(base);
    if (location.empty() || !parsedBase || !parsedBase->scheme()) {
        return std::nullopt;
    }
    const auto parsed = URLComponents::parse(location);
    if (parsed && parsed->scheme()) {
        return parsed->hasAuthority() ? std::optional<std::string>(location) : std::nullopt;
    }
    const std::string scheme(*parsedBase->scheme());
    if (location.starts_with("//")) {
        return scheme + ":" + location;
    }
    if (location.starts_with("/")) {
        return scheme + "://" + std::string(parsedBase->percentEncodedHost().value_or("")) +
               location;
    }
    return std::nullopt;
}

Result<HttpResponse, HttpError> FakeHttpTransport::send(const HttpRequest& request) {
    if (!request.options.allowsScheme(schemeOf(request.url))) {
        return failed(HttpError::Kind::schemeNotAllowed, "scheme not allowed", request.url);
    }
    std::string url = request.url;
    for (int followed = 0;;) {
        Reply reply;
        {
            std::lock_guard lock(mutex_);
            sent_.push_back({url, request.headerFields, request.options, request.bodyHandling,
                             static_cast<bool>(request.onRedirect)});
            const auto found = replies_.find(url);
            if (found == replies_.end()) {
                return failed(HttpError::Kind::connectionFailed, "no reply scripted", url);
            }
            reply = found->second;
        }
        if (reply.failure) {
            return failed(*reply.failure, "scripted failure", url);
        }
        const auto location = reply.headerFields.value("Location");
        if (isRedirectStatus(reply.status) && location && request.onRedirect) {
            HttpRedirect redirect{reply.status, std::string(*location),
                                  resolve(url, std::string(*location)), url, followed};
            {
                std::lock_guard lock(mutex_);
                redirects_.push_back(redirect);
            }
            if (request.onRedirect(redirect) == HttpRedirectDecision::follow) {
                if (!redirect.target) {
                    return failed(HttpError::Kind::badRedirect, "no target", url);
                }
                if (!request.options.allowsScheme(schemeOf(*redirect.target))) {
                    return failed(HttpError::Kind::schemeNotAllowed, "scheme not allowed", url);
                }
                if (followed >= request.options.maxRedirects()) {
                    return failed(HttpError::Kind::tooManyRedirects, "too many redirects", url);
                }
                url = *redirect.target;
                ++followed;
                continue;
            }
        }
        HttpResponse response;
        response.status = reply.status;
        response.url = url;
        response.headerFields = reply.headerFields;
        response.redirectsFollowed = followed;
        if (request.bodyHandling != HttpBodyHandling::stopAfterHead) {
            // A declared length over the cap ends the call before the body, as
            // the real transport does.
            const auto declared = reply.headerFields.value("Content-Length");
            if (declared && std::stoull(std::string(*declared)) > request.options.maxBodyBytes()) {
                return failed(HttpError::Kind::bodyTooLarge, "declared length over the cap", url);
            }
            if (reply.body.size() > request.options.maxBodyBytes()) {
                return failed(HttpError::Kind::bodyTooLarge, "body over the cap", url);
            }
            response.bodyBytesReceived = reply.body.size();
            if (request.bodyHandling == HttpBodyHandling::keep) {
                response.body = reply.body;
            }
        }
        return response;
    }
}

}  // namespace scourlet::testing

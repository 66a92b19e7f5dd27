// How an HTTP call failed: which limit it hit or what went wrong, with a
// message for logs.
//
//   auto response = transport.send(request);
//   if (!response && response.error().kind == HttpError::Kind::bodyTooLarge) { ... }
#pragma once

#include <string>
#include <string_view>

namespace scourlet {

struct HttpError {
    enum class Kind {
        invalidRequest,    // the URL or the transport settings are unusable; nothing was sent
        schemeNotAllowed,  // the URL, or a redirect to follow, uses a scheme not allowed
        badRedirect,       // a redirect to follow has no usable target
        tooManyRedirects,  // following the redirect would pass maxRedirects
        connectTimeout,    // a connection (TLS handshake included) took longer than allowed
        idleTimeout,       // no byte arrived for longer than the idle time-out
        totalTimeout,      // the whole call took longer than the total time-out
        bodyTooLarge,      // the body (or its declared length) passed maxBodyBytes
        tlsFailure,        // the certificate was not trusted or not for the host, or TLS failed
        connectionFailed,  // the host was not found or no connection could be made
        transferFailed,    // the connection broke or the response was malformed
        cancelled,         // the request's stop token asked to stop
    };

    Kind kind = Kind::transferFailed;
    // Details for logs; not meant for the user.
    std::string message;
    // The URL of the request that failed (the first, or a followed redirect's).
    std::string url;

    bool operator==(const HttpError&) const = default;
};

// The name of a kind as written above, e.g. "idleTimeout"; for logs and tests.
std::string_view name(HttpError::Kind kind);

}  // namespace scourlet

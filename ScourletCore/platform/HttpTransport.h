// Sends one HTTP GET request and gives back its final response: the one
// interface through which the core reaches the network.
//
// The application passes a CurlHttpTransport to whoever downloads; tests pass
// a FakeHttpTransport or a CurlHttpTransport aimed at a local server.
//
//   Result<HttpResponse, HttpError> r = transport.send(request);
//   if (!r) log(name(r.error().kind), r.error().message);
#pragma once

#include "ScourletCore/platform/HttpError.h"
#include "ScourletCore/platform/HttpRequest.h"
#include "ScourletCore/platform/HttpResponse.h"
#include "ScourletCore/platform/Result.h"

namespace scourlet {

class HttpTransport {
public:
    virtual ~HttpTransport() = default;

    // Sends `request` as a GET, with no cookies and no cache: nothing of one
    // call reaches another. Follows a redirect only when request.onRedirect
    // says so, within request.options. Returns the final response whatever
    // its status, or the error that ended the call: the limit it hit
    // (time-outs, body cap, redirects, scheme), a TLS or connection failure,
    // or cancellation. Blocks until the call ends; safe to call from several
    // threads at once.
    virtual Result<HttpResponse, HttpError> send(const HttpRequest& request) = 0;
};

}  // namespace scourlet

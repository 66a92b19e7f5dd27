// The final response of an HTTP call: status, final URL, header fields and,
// when asked for, the body.
//
//   auto response = transport.send(request);
//   if (!response) return response.error();
//   if (response->status != 200 || response->url != request.url) return fail();
//   use(response->body);
#pragma once

#include <cstdint>
#include <string>

#include "ScourletCore/platform/HttpHeaderFields.h"

namespace scourlet {

struct HttpResponse {
    // The status code of the final response (a redirect that was not followed
    // is a final response too).
    int status = 0;
    // The URL that gave the final response: the request's URL as given when no
    // redirect was followed, else the target of the last followed redirect.
    std::string url;
    // The header fields of the final response, in the order received.
    HttpHeaderFields headerFields;
    // The body with HttpBodyHandling::keep; empty otherwise.
    std::string body;
    // Body bytes received, kept or discarded.
    std::uint64_t bodyBytesReceived = 0;
    // Redirects followed before the final response.
    int redirectsFollowed = 0;

    bool operator==(const HttpResponse&) const = default;
};

}  // namespace scourlet

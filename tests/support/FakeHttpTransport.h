// An in-memory HttpTransport: each URL answers with a scripted reply, and
// every request the code under test sends is recorded for inspection.
//
// It keeps the transport's contract: redirects are shown to the request's
// onRedirect hook and followed only when it says so, within the request's
// redirect limit and allowed schemes; the body cap (also against a scripted
// Content-Length field) and body handling apply.
//
//   FakeHttpTransport http;
//   http.on("https://a.co/d/x",
//   FakeHttpTransport::redirect("https://www.amazon.com/dp/B0ABCDEFGH"));
//   http.on("https://www.amazon.com/dp/B0ABCDEFGH", FakeHttpTransport::ok());
//   auto r = ShareLinkResolver::resolve("https://a.co/d/x", http);
//   EXPECT_EQ(http.sent().size(), 2u);
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "ScourletCore/platform/HttpTransport.h"

namespace scourlet::testing {

class FakeHttpTransport final : public HttpTransport {
public:
    struct Reply {
        int status = 200;
        HttpHeaderFields headerFields;
        std::string body;
        // When set, a request for this URL fails with this kind.
        std::optional<HttpError::Kind> failure;
    };

    static Reply ok(std::string body = {}, int status = 200);
    // A redirect response with `location` as its Location field.
    static Reply redirect(std::string location, int status = 302);
    static Reply failure(HttpError::Kind kind);

    // What a request for exactly `url` gets. A URL without a reply fails with
    // connectionFailed, as an unknown host would.
    void on(std::string url, Reply reply);

    // One entry per request sent, redirects followed included.
    struct SentRequest {
        std::string url;
        HttpHeaderFields headerFields;
        HttpRequestOptions options;
        HttpBodyHandling bodyHandling = HttpBodyHandling::keep;
        bool hasRedirectHook = false;
    };
    std::vector<SentRequest> sent() const;
    // The redirects shown to onRedirect hooks, in order.
    std::vector<HttpRedirect> redirectsShown() const;

    Result<HttpResponse, HttpError> send(const HttpRequest& request) override;

    // How the fake resolves a Location: absolute URLs as they are, "//host..."
    // and "/path..." against `base`; anything else gives nothing.
    static std::optional<std::string> resolve(const std::string& base, const std::string& location);

private:
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Reply> replies_;
    std::vector<SentRequest> sent_;
    std::vector<HttpRedirect> redirects_;
};

}  // namespace scourlet::testing

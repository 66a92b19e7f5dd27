// The HTTP transport of the application, over libcurl.
//
// Each call uses fresh handles: no cookie engine, no cache, no connection or
// TLS session shared with another call, no HSTS or alt-svc files. Only the
// request's allowed schemes are spoken, certificates and host names are
// always verified (TLS 1.2 at least), and no compression is asked for, so a
// body's size on the wire is its size in memory. The system's proxy
// environment variables are honoured.
//
//   CurlHttpTransport& transport = CurlHttpTransport::shared();
//   auto response = transport.send(request);
//
// Tests aim every connection at a local server and trust their own CA:
//
//   CurlHttpTransport::Settings settings;
//   settings.connectOverrides.push_back({"", 0, "127.0.0.1", server.port()});  // every host
//   settings.caFile = caPemPath;
//   auto transport = CurlHttpTransport::withSettings(std::move(settings));
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "ScourletCore/platform/HttpTransport.h"

namespace scourlet {

class CurlHttpTransport final : public HttpTransport {
public:
    // Sends connections meant for `host`:`port` to `toAddress`:`toPort`
    // instead. TLS still expects a certificate for `host`, and the Host field
    // still names it, so the request is the one the real host would get.
    struct ConnectOverride {
        // Lower-case host name; empty: every host.
        std::string host;
        // Port of the URL (443 for a plain "https" URL); 0: every port.
        int port = 0;
        // An IPv4 address or a host name.
        std::string toAddress;
        // 1 to 65535.
        int toPort = 443;
    };

    struct Settings {
        // Where connections go instead; empty: where the URL says. With any
        // override, proxies are bypassed, so a pinned address is reached as is.
        std::vector<ConnectOverride> connectOverrides;
        // A PEM file holding the only certificate authorities to trust; empty:
        // the system's trust store.
        std::string caFile;
    };

    // The system's trust store, no overrides.
    CurlHttpTransport() = default;

    // A transport with `settings`. Fails when an override names no address, a
    // host with characters other than letters, digits, "-" and ".", or a port
    // outside its range, or when `caFile` is not a readable file.
    static Result<CurlHttpTransport> withSettings(Settings settings);

    // One process-wide transport with the default settings; it holds no state
    // between calls, so every caller may share it.
    static CurlHttpTransport& shared();

    // See HttpTransport::send. The request's options are enforced here: the
    // connect time-out by libcurl, the idle and total time-outs and the body
    // cap where bytes arrive; redirect decisions are taken as soon as a
    // redirect's head is in, so a redirect's body is never read.
    Result<HttpResponse, HttpError> send(const HttpRequest& request) override;

private:
    explicit CurlHttpTransport(Settings settings) : settings_(std::move(settings)) {}

    Settings settings_;
};

}  // namespace scourlet

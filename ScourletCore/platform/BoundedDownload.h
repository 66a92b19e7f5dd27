// One bounded download of a file at an exact https URL: how the signed
// privacy-services catalog, the signed rule feed and the release metadata
// come in.
//
// The request follows no redirect, keeps no cookie and no cache, and accepts
// only status 200 from exactly the URL asked for (a redirect is a refusal,
// never followed). It never holds more than `cap` body bytes: a declared
// length over the cap fails before any byte is read, a body of exactly `cap`
// bytes passes and one byte more fails. Connecting may take 15 seconds, the
// transfer may wait 15 seconds for a byte, and the whole call ends within 30.
//
//   auto file = BoundedDownload::fetch(transport, manifestURL, 4096, stopToken);
//   if (!file) return refuse();   // file.error() says how it failed
//   verify(*file);
//
// Blocks; run it off the main thread. Safe from several threads at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <stop_token>
#include <string>
#include <string_view>

#include "ScourletCore/platform/HttpError.h"
#include "ScourletCore/platform/HttpTransport.h"
#include "ScourletCore/platform/Result.h"

namespace scourlet {

class BoundedDownload {
public:
    static constexpr std::chrono::seconds kConnectTimeout{15};
    static constexpr std::chrono::seconds kIdleTimeout{15};
    static constexpr std::chrono::seconds kTotalTimeout{30};

    struct Failure {
        enum class Kind {
            // The server answered, but not with the file: a status other than
            // 200 (a redirect included) or a final URL other than the one asked.
            unexpectedResponse,
            // The transport ended the call; `transport` says how.
            transport,
        };
        Kind kind = Kind::transport;
        // unexpectedResponse: the status received.
        int status = 0;
        // transport: the transport's error; bodyTooLarge when the file (or its
        // declared length) passed the cap, cancelled when stop was requested,
        // invalidRequest when the URL or the cap is unusable (nothing sent).
        HttpError transport;

        // True for a file over the cap.
        bool isOverCap() const {
            return kind == Kind::transport && transport.kind == HttpError::Kind::bodyTooLarge;
        }
        bool operator==(const Failure&) const = default;
    };

    // The body of `url` (an absolute https URL, compared as exact text with the
    // final URL) when it answers 200 with at most `cap` bytes. `cap` above
    // HttpRequestOptions::kLargestBodyCap fails as invalidRequest without
    // traffic; a URL of another scheme fails as schemeNotAllowed.
    static Result<std::string, Failure> fetch(HttpTransport& transport, std::string_view url,
                                              std::uint64_t cap, std::stop_token stop = {});
};

}  // namespace scourlet

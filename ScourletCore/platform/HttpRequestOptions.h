// The limits of one HTTP request: how long it may take, how many body bytes
// it may bring, how many redirects it may follow and which schemes it may use.
//
// Every setter checks its value and refuses, changing nothing, what would
// leave a request unbounded or make no sense; so a request built from these
// options always ends. The transport enforces them in one place and reports
// which limit a request hit (HttpError::Kind).
//
//   HttpRequestOptions options;                      // the defaults below
//   if (auto r = options.setTotalTimeout(std::chrono::seconds(8)); !r) return r.error();
//   if (auto r = options.setMaxBodyBytes(512 * 1024); !r) return r.error();
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/platform/Result.h"

namespace scourlet {

class HttpRequestOptions {
public:
    using Duration = std::chrono::milliseconds;

    // The largest time-out any setter accepts.
    static constexpr Duration kLongestTimeout = std::chrono::hours(1);
    // The largest body cap accepted: 1 GiB.
    static constexpr std::uint64_t kLargestBodyCap = std::uint64_t{1} << 30;
    // The most redirects a request may be allowed to follow.
    static constexpr int kMostRedirects = 20;

    // Defaults: 30 s total, 10 s connect, 15 s idle, 1 MiB body, no redirect,
    // only "https".
    HttpRequestOptions() = default;

    // Total time for the whole call, every followed redirect included, in
    // milliseconds. 0 is refused: every request must end. Fails for 0,
    // negative values and values above kLongestTimeout.
    Duration totalTimeout() const { return totalTimeout_; }
    [[nodiscard]] Result<void> setTotalTimeout(Duration timeout);

    // Time to open each connection, TLS handshake included, in milliseconds.
    // 0: no limit of its own, the total time-out alone bounds connecting.
    // Fails for negative values and values above kLongestTimeout.
    Duration connectTimeout() const { return connectTimeout_; }
    [[nodiscard]] Result<void> setConnectTimeout(Duration timeout);

    // Longest wait without receiving a byte once a connection is open, in
    // milliseconds. 0: no idle limit, the total time-out alone ends a stalled
    // transfer. Fails for negative values and values above kLongestTimeout.
    Duration idleTimeout() const { return idleTimeout_; }
    [[nodiscard]] Result<void> setIdleTimeout(Duration timeout);

    // Body bytes a response may bring, in bytes, counted whether the body is
    // kept or discarded (a response's declared Content-Length counts too).
    // 0: no body byte is accepted. Fails above kLargestBodyCap.
    std::uint64_t maxBodyBytes() const { return maxBodyBytes_; }
    [[nodiscard]] Result<void> setMaxBodyBytes(std::uint64_t bytes);

    // Redirects that may be followed, as a count. 0: none; a redirect is then
    // answered by its own response, or an error when the caller asks to follow
    // it. Fails for negative values and values above kMostRedirects.
    int maxRedirects() const { return maxRedirects_; }
    [[nodiscard]] Result<void> setMaxRedirects(int count);

    // Lower-case schemes the request URL and every followed redirect may use.
    // There is no 0: the list is never empty. Fails for an empty list, a
    // repeated scheme, or a scheme other than "https" and "http".
    const std::vector<std::string>& allowedSchemes() const { return allowedSchemes_; }
    [[nodiscard]] Result<void> setAllowedSchemes(std::vector<std::string> schemes);

    // True when `scheme` (any case) is one of allowedSchemes().
    bool allowsScheme(std::string_view scheme) const;

    bool operator==(const HttpRequestOptions&) const = default;

private:
    Duration totalTimeout_ = std::chrono::seconds(30);
    Duration connectTimeout_ = std::chrono::seconds(10);
    Duration idleTimeout_ = std::chrono::seconds(15);
    std::uint64_t maxBodyBytes_ = std::uint64_t{1} << 20;
    int maxRedirects_ = 0;
    std::vector<std::string> allowedSchemes_{"https"};
};

}  // namespace scourlet

#include "ScourletCore/platform/HttpRequestOptions.h"

#include <algorithm>
#include <utility>

#include "ScourletCore/platform/Text.h"

namespace scourlet {

namespace {

Result<void> checkTimeout(HttpRequestOptions::Duration timeout, std::string_view what) {
    if (timeout.count() < 0 || timeout > HttpRequestOptions::kLongestTimeout) {
        return Error{std::string(what) + " must be between 0 and one hour, got " +
                     std::to_string(timeout.count()) + " ms"};
    }
    return {};
}

}  // namespace

Result<void> HttpRequestOptions::setTotalTimeout(Duration timeout) {
    if (timeout.count() == 0) {
        return Error{"the total time-out cannot be 0: every request must end"};
    }
    if (auto checked = checkTimeout(timeout, "the total time-out"); !checked) {
        return checked;
    }
    totalTimeout_ = timeout;
    return {};
}

Result<void> HttpRequestOptions::setConnectTimeout(Duration timeout) {
    if (auto checked = checkTimeout(timeout, "the connect time-out"); !checked) {
        return checked;
    }
    connectTimeout_ = timeout;
    return {};
}

Result<void> HttpRequestOptions::setIdleTimeout(Duration timeout) {
    if (auto checked = checkTimeout(timeout, "the idle time-out"); !checked) {
        return checked;
    }
    idleTimeout_ = timeout;
    return {};
}

Result<void> HttpRequestOptions::setMaxBodyBytes(std::uint64_t bytes) {
    if (bytes > kLargestBodyCap) {
        return Error{"the body cap must be at most 1 GiB, got " + std::to_string(bytes) + " bytes"};
    }
    maxBodyBytes_ = bytes;
    return {};
}

Result<void> HttpRequestOptions::setMaxRedirects(int count) {
    if (count < 0 || count > kMostRedirects) {
        return Error{"the redirect limit must be between 0 and " + std::to_string(kMostRedirects) +
                     ", got " + std::to_string(count)};
    }
    maxRedirects_ = count;
    return {};
}

Result<void> HttpRequestOptions::setAllowedSchemes(std::vector<std::string> schemes) {
    if (schemes.empty()) {
        return Error{"at least one scheme must be allowed"};
    }
    for (auto it = schemes.begin(); it != schemes.end(); ++it) {
        if (*it != "https" && *it != "http") {
            return Error{"unsupported scheme \"" + *it + "\": only \"https\" and \"http\""};
        }
        if (std::find(schemes.begin(), it, *it) != it) {
            return Error{"scheme \"" + *it + "\" is listed twice"};
        }
    }
    allowedSchemes_ = std::move(schemes);
    return {};
}

bool HttpRequestOptions::allowsScheme(std::string_view scheme) const {
    const std::string lower = asciiLowercased(scheme);
    return std::find(allowedSchemes_.begin(), allowedSchemes_.end(), lower) !=
           allowedSchemes_.end();
}

}  // namespace scourlet

// LastCleanRecord: the most recent clean a caller recorded.
//
//   LastCleanRecord r{"https://a.example/?utm_source=x", "https://a.example/", now,
//   "macOSClipboard"};
#pragma once

#include <chrono>
#include <string>

#include "ScourletCore/platform/Json.h"

namespace scourlet {

struct LastCleanRecord {
    std::string originalURL;
    std::string cleanedURL;
    std::chrono::system_clock::time_point cleanedAt;
    std::string surface;  // "macOSClipboard", "macOSTextBlock", ... stored as given

    bool operator==(const LastCleanRecord&) const = default;

    // "cleanedAt" is written as seconds since 2001-01-01T00:00:00Z (a JSON
    // number), the date form peers of the original platform read.
    Json toJson() const;
    // Throws DecodingException when a key is missing or mistyped, or when
    // "cleanedAt" lies beyond what the system clock can represent.
    static LastCleanRecord fromJson(const Json& json);
};

}  // namespace scourlet

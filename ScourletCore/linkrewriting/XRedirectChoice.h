// Where X/Twitter links go: nowhere (off), to a Nitter-compatible instance
// from the verified services catalog, or to the TwitterViewer front-end.
//
// The raw values are stored in the settings and in the browser extension's
// messages, so they must never change.
//
//   auto choice = xRedirectChoiceFromRawValue("twitterViewer");   // twitterViewer
//   std::string_view raw = rawValue(XRedirectChoice::nitter);      // "nitter"
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "ScourletCore/platform/Json.h"

namespace scourlet {

enum class XRedirectChoice {
    off,
    nitter,
    twitterViewer,
};

inline constexpr std::array<XRedirectChoice, 3> xRedirectChoiceAllCases{
    XRedirectChoice::off,
    XRedirectChoice::nitter,
    XRedirectChoice::twitterViewer,
};

// "off", "nitter" or "twitterViewer".
std::string_view rawValue(XRedirectChoice choice);

// The choice whose raw value is exactly `raw` (case-sensitive), or nothing.
std::optional<XRedirectChoice> xRedirectChoiceFromRawValue(std::string_view raw);

// Reads a choice from its raw value string; throws DecodingException for any
// other JSON value.
template <>
struct JsonValue<XRedirectChoice> {
    static XRedirectChoice decode(const Json& json, std::string_view context);
};

}  // namespace scourlet

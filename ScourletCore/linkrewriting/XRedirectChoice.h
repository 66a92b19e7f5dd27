// Where X/Twitter links go: nowhere (off), to a Nitter-compatible instance
// from the verified services catalog, or to the TwitterViewer front-end.
//
// The raw values are stored in the settings and in the browser extension's
// messages, so they must never change.
//
//   auto choice = enumFromRawValue<XRedirectChoice>("twitterViewer");   // twitterViewer
//   std::string_view raw = rawValue(XRedirectChoice::nitter);          // "nitter"
#pragma once

#include <array>

#include "ScourletCore/platform/RawValueEnum.h"

namespace scourlet {

enum class XRedirectChoice {
    off,
    nitter,
    twitterViewer,
};

template <>
struct RawValueTable<XRedirectChoice> {
    static constexpr std::string_view name = "X redirect choice";
    static constexpr auto cases = std::to_array<RawValueCase<XRedirectChoice>>({
        {XRedirectChoice::off, "off"},
        {XRedirectChoice::nitter, "nitter"},
        {XRedirectChoice::twitterViewer, "twitterViewer"},
    });
};

}  // namespace scourlet

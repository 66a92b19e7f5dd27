// The kinds of step that a clean is made of.
//
// Each CleanOperation names its kind; stored results carry the raw value
// ("local_parameter_removal" and so on), so the raw values must never change.
//
//   CleanOperationKind kind = CleanOperationKind::offlineWrapperUnwrap;
//   std::string_view stored = rawValue(kind);                    // "offline_wrapper_unwrap"
//   auto back = cleanOperationKindFromRawValue(stored);          // kind again
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "ScourletCore/platform/Json.h"

namespace scourlet {

enum class CleanOperationKind {
    localParameterRemoval,     // query parameters or a local-result fragment removed by rules
    offlineWrapperUnwrap,      // a redirect wrapper replaced by the link it carries
    offlinePathRewrite,        // text removed from the link by a provider's raw rules
    privacyRedirect,           // the user-enabled privacy front-end rewrite
    networkResolution,         // a share link resolved over the network on request
    functionalTransformation,  // a change made for function, such as a map-link conversion
};

inline constexpr std::array<CleanOperationKind, 6> cleanOperationKindAllCases{
    CleanOperationKind::localParameterRemoval, CleanOperationKind::offlineWrapperUnwrap,
    CleanOperationKind::offlinePathRewrite,    CleanOperationKind::privacyRedirect,
    CleanOperationKind::networkResolution,     CleanOperationKind::functionalTransformation,
};

// The stored form, e.g. "local_parameter_removal".
std::string_view rawValue(CleanOperationKind kind);

// The kind whose raw value is exactly `raw` (case-sensitive), or nothing.
std::optional<CleanOperationKind> cleanOperationKindFromRawValue(std::string_view raw);

// Reads a kind from its raw value string; throws DecodingException for any
// other JSON value.
template <>
struct JsonValue<CleanOperationKind> {
    static CleanOperationKind decode(const Json& json, std::string_view context);
};

}  // namespace scourlet

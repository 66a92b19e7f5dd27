// The kinds of step that a clean is made of.
//
// Each CleanOperation names its kind; stored results carry the raw value
// ("local_parameter_removal" and so on), so the raw values must never change.
//
//   CleanOperationKind kind = CleanOperationKind::offlineWrapperUnwrap;
//   std::string_view stored = rawValue(kind);                 // "offline_wrapper_unwrap"
//   auto back = enumFromRawValue<CleanOperationKind>(stored);  // kind again
#pragma once

#include <array>

#include "ScourletCore/platform/RawValueEnum.h"

namespace scourlet {

enum class CleanOperationKind {
    localParameterRemoval,     // query parameters or a local-result fragment removed by rules
    offlineWrapperUnwrap,      // a redirect wrapper replaced by the link it carries
    offlinePathRewrite,        // text removed from the link by a provider's raw rules
    privacyRedirect,           // the user-enabled privacy front-end rewrite
    networkResolution,         // a share link resolved over the network on request
    functionalTransformation,  // a change made for function, such as a map-link conversion
};

template <>
struct RawValueTable<CleanOperationKind> {
    static constexpr std::string_view name = "operation kind";
    static constexpr auto cases = std::to_array<RawValueCase<CleanOperationKind>>({
        {CleanOperationKind::localParameterRemoval, "local_parameter_removal"},
        {CleanOperationKind::offlineWrapperUnwrap, "offline_wrapper_unwrap"},
        {CleanOperationKind::offlinePathRewrite, "offline_path_rewrite"},
        {CleanOperationKind::privacyRedirect, "privacy_redirect"},
        {CleanOperationKind::networkResolution, "network_resolution"},
        {CleanOperationKind::functionalTransformation, "functional_transformation"},
    });
};

}  // namespace scourlet

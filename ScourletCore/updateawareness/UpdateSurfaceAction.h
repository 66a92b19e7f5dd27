// The five things a user can ask of the update section: check for an app
// update, check for or install a rule update, check for or install a catalog
// update. Each has a fixed raw value and the accessibility identifier that its
// button carries ("update-action-" + raw value).
//
//   for (auto action : allCases<UpdateSurfaceAction>()) addButton(accessibilityIdentifier(action));
//   enumFromRawValue<UpdateSurfaceAction>("checkApp");   // UpdateSurfaceAction::checkApp
//   enumFromRawValue<UpdateSurfaceAction>("CheckApp");   // nothing: matching is exact
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "ScourletCore/platform/RawValueEnum.h"

namespace scourlet {

enum class UpdateSurfaceAction {
    checkApp,
    checkRules,
    installRules,
    checkCatalog,
    installCatalog,
};

template <>
struct RawValueTable<UpdateSurfaceAction> {
    static constexpr std::string_view name = "update action";
    static constexpr auto cases = std::to_array<RawValueCase<UpdateSurfaceAction>>({
        {UpdateSurfaceAction::checkApp, "checkApp"},
        {UpdateSurfaceAction::checkRules, "checkRules"},
        {UpdateSurfaceAction::installRules, "installRules"},
        {UpdateSurfaceAction::checkCatalog, "checkCatalog"},
        {UpdateSurfaceAction::installCatalog, "installCatalog"},
    });
};

// "update-action-" followed by the raw value, e.g. "update-action-checkApp".
inline std::string accessibilityIdentifier(UpdateSurfaceAction action) {
    return "update-action-" + std::string(rawValue(action));
}

}  // namespace scourlet

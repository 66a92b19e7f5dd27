// TrayLabel: what the tray icon shows, as a function of the application state.
//
// The symbol tells whether cleaning is on and whether a risky command was just
// copied; a small badge tells that updates are waiting (hidden while a command
// warning shows); the accessible label, used as the icon's tooltip, says the
// same in words. Update rows at the top of the menu name each class with an
// available update.
//
//   TrayLabel label = trayLabel(awareness.state(), monitor.lastCommandRisk().has_value(),
//                               monitor.isEnabled());
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/updateawareness/UpdateAwarenessState.h"
#include "ScourletCore/updateawareness/UpdateClass.h"
#include "app/menu/MenuItem.h"

namespace scourlet::app {

inline constexpr std::string_view kCleaningOnSymbol = "link.circle.fill";
inline constexpr std::string_view kCleaningOffSymbol = "link.circle";
inline constexpr std::string_view kWarningSymbol = "exclamationmark.triangle.fill";
inline constexpr std::string_view kUpdateBadgeSymbol = "arrow.down.circle.fill";

struct TrayLabel {
    std::string symbolName;
    std::optional<std::string> badgeSymbolName;
    std::string accessibilityLabel;
    bool operator==(const TrayLabel&) const = default;
};

TrayLabel trayLabel(const UpdateAwarenessState& state, bool commandWarning, bool cleaningEnabled);

// The settings pane where updates of `updateClass` are handled.
std::string_view settingsPaneFor(UpdateClass updateClass);

// One row per class with an available update, in the state's order, followed
// by a separator when there is at least one row.
std::vector<MenuItem> updateRows(const UpdateAwarenessState& state);

}  // namespace scourlet::app

// The panes of the settings window. The raw value is the tab's title and what
// is stored under "settings.selectedPane" (kSelectedSettingsPaneKey).
//
//   SettingsPane pane = paneFromStored(defaults.stringForKey(kSelectedSettingsPaneKey));
//   defaults.setString(kSelectedSettingsPaneKey, std::string(rawValue(pane)));
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/platform/RawValueEnum.h"

namespace scourlet::app {

enum class SettingsPane {
    status,
    settings,
    privacyRedirects,
    rules,
    exceptions,
    stats,
    advanced,
};

// The pane shown when nothing valid is stored.
inline constexpr SettingsPane kDefaultSettingsPane = SettingsPane::status;

// The stored pane: the pane whose raw value is exactly `stored` (case
// matters); the default pane for anything else or nothing.
SettingsPane paneFromStored(const std::optional<std::string>& stored);

// The width of the pane's tab label, in pixels.
int tabWidth(SettingsPane pane);

// The freedesktop icon name of the pane's tab.
std::string_view tabIconName(SettingsPane pane);

}  // namespace scourlet::app

namespace scourlet {

template <>
struct RawValueTable<app::SettingsPane> {
    static constexpr std::string_view name = "settings pane";
    static constexpr auto cases = std::to_array<RawValueCase<app::SettingsPane>>({
        {app::SettingsPane::status, "Status"},
        {app::SettingsPane::settings, "Settings"},
        {app::SettingsPane::privacyRedirects, "Privacy Redirects"},
        {app::SettingsPane::rules, "Rules"},
        {app::SettingsPane::exceptions, "Exceptions"},
        {app::SettingsPane::stats, "Stats"},
        {app::SettingsPane::advanced, "Advanced"},
    });
};

}  // namespace scourlet

// The application's windows: their ids, titles and default sizes.
//
// One window per id; the window manager creates each on first use. The model
// layer names windows by id only, so it needs no widgets.
//
//   manager.showWindow(kSettingsWindowId);
#pragma once

#include <optional>
#include <string_view>

namespace scourlet::app {

inline constexpr std::string_view kSettingsWindowId = "settings";
inline constexpr std::string_view kWelcomeWindowId = "welcome";
inline constexpr std::string_view kReportWindowId = "report";

// The standard-settings key that holds the settings window's selected pane,
// and the pane names the application itself selects.
inline constexpr std::string_view kSelectedSettingsPaneKey = "settings.selectedPane";
inline constexpr std::string_view kStatusPane = "Status";
inline constexpr std::string_view kPrivacyRedirectsPane = "Privacy Redirects";
inline constexpr std::string_view kExceptionsPane = "Exceptions";
inline constexpr std::string_view kAdvancedPane = "Advanced";

struct WindowDescription {
    std::string_view id;
    std::string_view title;
    int defaultWidth = 0;
    int defaultHeight = 0;
};

// The title and default size of a known window id; nothing for any other id.
std::optional<WindowDescription> describeWindow(std::string_view id);

}  // namespace scourlet::app

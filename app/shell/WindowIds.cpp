#include "app/shell/WindowIds.h"

#include <array>

namespace scourlet::app {

std::optional<WindowDescription> describeWindow(std::string_view id) {
    static constexpr std::array<WindowDescription, 3> kWindows{{
        {kSettingsWindowId, "Scourlet Preferences", 960, 640},
        {kWelcomeWindowId, "Welcome to Scourlet", 460, 420},
        {kReportWindowId, "Review Report", 560, 560},
    }};
    for (const WindowDescription& window : kWindows) {
        if (window.id == id) {
            return window;
        }
    }
    return std::nullopt;
}

}  // namespace scourlet::app

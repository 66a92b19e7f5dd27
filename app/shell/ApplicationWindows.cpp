#include "app/shell/ApplicationWindows.h"

#include "app/settings/SettingsWindowFactory.h"
#include "app/shell/AppState.h"
#include "app/shell/WindowFactories.h"
#include "app/shell/WindowIds.h"
#include "app/shell/WindowManager.h"

namespace scourlet::app {

void registerApplicationWindows(WindowManager& windows, AppState& state) {
    windows.registerWindow(kSettingsWindowId,
                           [&state, &windows] { return makeSettingsWindow(state, windows); });
    windows.registerWindow(kWelcomeWindowId,
                           [&state, &windows] { return makeWelcomeWindow(state, windows); });
    windows.registerWindow(kReportWindowId, [&state] { return makeReportWindow(state); });
}

}  // namespace scourlet::app

#include "app/shell/ApplicationWindows.h"

#include <memory>

#include "app/settings/FileSaver.h"
#include "app/settings/SettingsWindowFactory.h"
#include "app/shell/AppState.h"
#include "app/shell/WindowFactories.h"
#include "app/shell/WindowIds.h"
#include "app/shell/WindowManager.h"

namespace scourlet::app {

void registerApplicationWindows(WindowManager& windows, AppState& state) {
    // One saver for every save dialog, so each opens where the user last saved
    // a file, whichever window that was in.
    auto saver = std::make_shared<FileSaver>();
    windows.registerWindow(kSettingsWindowId, [&state, &windows, saver] {
        return makeSettingsWindow(state, windows, saver);
    });
    windows.registerWindow(kWelcomeWindowId,
                           [&state, &windows] { return makeWelcomeWindow(state, windows); });
    windows.registerWindow(kReportWindowId,
                           [&state, saver] { return makeReportWindow(state, saver); });
}

}  // namespace scourlet::app

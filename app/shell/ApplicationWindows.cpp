#include "app/shell/ApplicationWindows.h"

#include "app/shell/AppState.h"
#include "app/shell/WindowIds.h"
#include "app/shell/WindowManager.h"

namespace scourlet::app {

void registerApplicationWindows(WindowManager& windows, AppState& state) {
    // The settings ("settings"), welcome ("welcome") and report ("report")
    // windows register here, each as
    //   windows.registerWindow(kWelcomeWindowId, [&state] { return new WelcomeWindow(state); });
    (void)windows;
    (void)state;
}

}  // namespace scourlet::app

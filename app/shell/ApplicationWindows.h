// The windows of the tray application, registered with the window manager in
// one place. A window added here appears in the menu (its rows are shown only
// while its id has a factory) and can be brought forward by a second start.
//
//   registerApplicationWindows(windows, state);
#pragma once

namespace scourlet::app {

class AppState;
class WindowManager;

void registerApplicationWindows(WindowManager& windows, AppState& state);

}  // namespace scourlet::app

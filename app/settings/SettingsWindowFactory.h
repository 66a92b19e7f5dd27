// The settings window of the running application, with the panes built so far,
// each over the application's own core objects.
//
//   windows.registerWindow(kSettingsWindowId, [&] { return makeSettingsWindow(state, windows); });
#pragma once

#include <memory>

#include <QWidget>

#include "app/settings/FileSaver.h"

namespace scourlet::app {

class AppState;
class WindowManager;

// `windows` opens the welcome and report windows from the panes.
QWidget* makeSettingsWindow(AppState& state, WindowManager& windows,
                            std::shared_ptr<FileSaver> saver = std::make_shared<FileSaver>());

}  // namespace scourlet::app

// The welcome and report windows of the running application, over its own
// core objects, kept current by AppState::changed().
//
//   windows.registerWindow(kWelcomeWindowId, [&] { return makeWelcomeWindow(state, windows); });
//   windows.registerWindow(kReportWindowId, [&] { return makeReportWindow(state); });
#pragma once

#include <memory>

#include <QWidget>

#include "app/report/MissedTrackerReportDraft.h"
#include "app/settings/FileSaver.h"

namespace scourlet::app {

class AppState;
class WindowManager;

QWidget* makeWelcomeWindow(AppState& state, WindowManager& windows);
QWidget* makeReportWindow(AppState& state,
                          std::shared_ptr<FileSaver> saver = std::make_shared<FileSaver>());

// What a report says about this program: the system, the version, and the
// number of rule providers the engine has loaded.
MissedTrackerReportDraft::Environment reportEnvironment(const AppState& state);

}  // namespace scourlet::app

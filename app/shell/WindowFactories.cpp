#include "app/shell/WindowFactories.h"

#include "ScourletCore/config/AppConfiguration.h"
#include "ScourletCore/platform/Clock.h"
#include "ScourletCore/platform/OperatingSystemVersion.h"
#include "app/platform/LinkOpener.h"
#include "app/report/MissedTrackerReportHost.h"
#include "app/report/ReportHostState.h"
#include "app/shell/AppState.h"
#include "app/shell/WelcomeWindow.h"
#include "app/shell/WindowIds.h"
#include "app/shell/WindowManager.h"

namespace scourlet::app {

MissedTrackerReportDraft::Environment reportEnvironment(const AppState& state) {
    MissedTrackerReportDraft::Environment environment;
    environment.osVersion = OperatingSystemVersion::current();
    environment.appVersion = std::string(config::kAppVersion);
    environment.appBuild = std::string(config::kAppBuild);
    environment.rulesLastUpdate = state.rulesUpdater()->lastUpdateDate();
    // Providers, not categories: the number of categories is fixed and says nothing.
    environment.rulesProviderCount =
        static_cast<std::int64_t>(state.rulesEngine()->compiledProviders().size());
    return environment;
}

QWidget* makeWelcomeWindow(AppState& state, WindowManager& windows) {
    std::shared_ptr<ClipboardMonitor> monitor = state.monitor();
    auto* welcome = new WelcomeWindow(
        state.standardDefaults(),
        [monitor] {
            return canReport(monitor->hasPendingShareLinkResolution(),
                             monitor->lastCleanedResult().has_value());
        },
        [&windows] { windows.showWindow(kReportWindowId); });
    QObject::connect(&state, &AppState::changed, welcome, &WelcomeWindow::refresh);
    return welcome;
}

QWidget* makeReportWindow(AppState& state, std::shared_ptr<FileSaver> saver) {
    std::shared_ptr<ClipboardMonitor> monitor = state.monitor();
    MissedTrackerReportHost::Source source;
    source.lastCleanedResult = [monitor] { return monitor->lastCleanedResult(); };
    source.pendingShareResolution = [monitor] { return monitor->hasPendingShareLinkResolution(); };
    source.environment = [&state] { return reportEnvironment(state); };
    source.clock = std::make_shared<SystemClock>();
    // The monitor's own write: a plain copy would be cleaned by the next poll,
    // stripping the very trackers the report is about.
    source.actions.copy = [monitor](const std::string& text) { monitor->writeUserCopy(text); };
    source.actions.openURL = [](const QUrl& url) { return openMailLink(url); };
    source.actions.saver = std::move(saver);
    auto* host = new MissedTrackerReportHost(std::move(source));
    QObject::connect(&state, &AppState::changed, host, [host] {
        if (host->isVisible()) {
            host->refresh();
        }
    });
    return host;
}

}  // namespace scourlet::app

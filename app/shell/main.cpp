// The tray application's entry: one instance per session, the core built once
// over the desktop's clipboard, timers and notifications, and a tray icon with
// the menu. Closing windows never ends the program; Quit, SIGTERM and SIGINT do,
// after the settings are written.
#include <cstdio>
#include <memory>

#include <QApplication>

#include "ScourletCore/platform/DefaultsSuites.h"
#include "ScourletCore/platform/FileUserDefaults.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/ThreadExecutor.h"
#include "app/platform/FreedesktopNotificationPoster.h"
#include "app/platform/QtMainQueue.h"
#include "app/platform/QtPasteboard.h"
#include "app/platform/QtTimerScheduler.h"
#include "app/shell/AppState.h"
#include "app/shell/SingleInstanceGuard.h"
#include "app/shell/TerminationSignals.h"
#include "app/shell/WindowManager.h"

using namespace scourlet;
using namespace scourlet::app;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Scourlet"));
    QApplication::setDesktopFileName(QStringLiteral("com.morrowgate.scourlet"));
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstanceGuard instance(SingleInstanceGuard::defaultFolder());
    if (instance.acquire() == SingleInstanceGuard::Outcome::alreadyRunning) {
        std::fprintf(stderr, "Scourlet is already running.\n");
        return 0;
    }

    auto fileDefaults = FileUserDefaults::suite(kApplicationSuiteName);
    auto appGroupDefaults = FileUserDefaults::suite(kAppGroupSuiteName);
    std::shared_ptr<UserDefaults> standardDefaults = fileDefaults;
    if (!standardDefaults) {
        std::fprintf(stderr, "Warning: no settings folder; settings last until Scourlet quits.\n");
        standardDefaults = std::make_shared<InMemoryUserDefaults>();
    }

    auto mainQueue = std::make_shared<QtMainQueue>();
    auto poster = std::make_shared<FreedesktopNotificationPoster>();
    AppState::Services services;
    services.standardDefaults = standardDefaults;
    services.appGroupDefaults = appGroupDefaults;
    services.pasteboard = std::make_shared<QtPasteboard>(QGuiApplication::clipboard());
    services.timers = std::make_shared<QtTimerScheduler>();
    services.mainQueue = mainQueue;
    services.executor = std::make_shared<ThreadExecutor>();
    services.poster = poster;
    services.clock = std::make_shared<SystemClock>();
    services.monotonicClock = std::make_shared<SteadyMonotonicClock>();
    AppState state(std::move(services));

    WindowManager windows(standardDefaults);

    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::received, &application, &QCoreApplication::quit);
    QObject::connect(&application, &QCoreApplication::aboutToQuit, [&] {
        state.stopMonitoring();
        mainQueue->close();
        if (fileDefaults) {
            fileDefaults->synchronize();
        }
        if (appGroupDefaults) {
            appGroupDefaults->synchronize();
        }
    });
    return QApplication::exec();
}

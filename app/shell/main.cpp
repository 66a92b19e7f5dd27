// The tray application's entry: one instance per session, the core built once
// over the desktop's clipboard, timers and notifications, and a tray icon with
// its menu. Closing windows never ends the program; Quit, SIGTERM and SIGINT
// do, after both settings stores are written.
//
// Without a display it can open, it says why in one line and exits with
// status 1. "scourlet-app --check-display" makes only that check (status 0
// when the display opens), so that a launcher can choose what to start.
#include <cstdio>
#include <cstring>
#include <memory>

#include <QApplication>

#include "ScourletCore/platform/DefaultsSuites.h"
#include "ScourletCore/platform/FileUserDefaults.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/ThreadExecutor.h"
#include "app/menu/TrayMenu.h"
#include "app/platform/DisplayProbe.h"
#include "app/platform/FreedesktopNotificationPoster.h"
#include "app/platform/LinkLaunchWarnings.h"
#include "app/platform/QtMainQueue.h"
#include "app/platform/QtPasteboard.h"
#include "app/platform/QtTimerScheduler.h"
#include "app/shell/AppState.h"
#include "app/shell/ApplicationWindows.h"
#include "app/shell/SingleInstanceGuard.h"
#include "app/shell/TerminationSignals.h"
#include "app/shell/TrayIcon.h"
#include "app/shell/WindowIds.h"
#include "app/shell/WindowManager.h"

using namespace scourlet;
using namespace scourlet::app;

namespace {

constexpr const char* kNoTrayMessage =
    "No system tray is available, so Scourlet shows no icon. It keeps cleaning copied links; "
    "quit it by logging out or with SIGTERM.";

// Under Wayland a program sees clipboard changes only while one of its windows
// has focus, which a tray program never has. Through XWayland (the X11
// platform) it sees every change, so that platform is preferred whenever an X
// display is there and the user chose no platform. With a Wayland display
// alone the Wayland platform is named, so that Qt does not try X11 instead.
// True when the Wayland platform was chosen for want of an X display.
bool choosePlatform() {
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        return false;
    }
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "wayland");
        return true;
    }
    return false;
}

bool hasDisplay() {
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Whether the display can be opened; when not, says why in one line. Qt
// itself would end the program with SIGABRT.
bool displayOpens(int argc, char** argv) {
    if (!hasDisplay()) {
        std::fprintf(stderr,
                     "Scourlet needs a graphical desktop: neither DISPLAY nor WAYLAND_DISPLAY is "
                     "set. The command-line tool scourlet cleans links without one.\n");
        return false;
    }
    if (const auto problem = DisplayProbe::problem(argc, argv)) {
        std::fprintf(stderr,
                     "Scourlet cannot start: %s. The command-line tool scourlet cleans links "
                     "without a display.\n",
                     problem->c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool waylandOnly = choosePlatform();
    const bool checkOnly = argc >= 2 && std::strcmp(argv[1], "--check-display") == 0;
    if (!displayOpens(argc, argv)) {
        return 1;
    }
    if (checkOnly) {
        return 0;
    }
    if (waylandOnly) {
        std::fprintf(stderr,
                     "Warning: no X display (XWayland) found; under Wayland Scourlet sees copied "
                     "links only while one of its windows has focus.\n");
    }
    QApplication application(argc, argv);
    // The application opens links through openLink(); should Qt itself be
    // asked to open one, its warnings leave the link out too.
    keepLinksOutOfLaunchWarnings();
    QApplication::setApplicationName(QStringLiteral("Scourlet"));
    QApplication::setApplicationVersion(QStringLiteral(SCOURLET_APP_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("com.morrowgate.scourlet"));
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstanceGuard instance(SingleInstanceGuard::defaultFolder());
    if (instance.acquire() == SingleInstanceGuard::Outcome::alreadyRunning) {
        std::fprintf(stderr, "Scourlet is already running; it was asked to show itself.\n");
        return 0;
    }

    auto fileDefaults = FileUserDefaults::suite(kApplicationSuiteName);
    auto appGroupDefaults = FileUserDefaults::suite(kAppGroupSuiteName);
    std::shared_ptr<UserDefaults> standardDefaults = fileDefaults;
    if (!standardDefaults) {
        std::fprintf(stderr,
                     "Warning: no settings folder (HOME and XDG_CONFIG_HOME are unusable); "
                     "settings last until Scourlet quits.\n");
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
    registerApplicationWindows(windows, state);
    TrayMenu menu(state, windows);
    TrayIcon tray(state, menu);
    poster->setFallback(
        [&tray](const NotificationPoster::Notification& notification) {
            return tray.showMessage(QString::fromStdString(notification.title),
                                    QString::fromStdString(notification.body));
        },
        [] { return TrayIcon::available() && QSystemTrayIcon::supportsMessages(); });
    tray.show();

    if (!TrayIcon::available()) {
        std::fprintf(stderr, "Scourlet: %s\n", kNoTrayMessage);
        poster->requestPermission([poster](bool granted) {
            if (granted) {
                poster->post({"scourlet-no-tray", "Scourlet is running", kNoTrayMessage});
            }
        });
    }

    QObject::connect(&instance, &SingleInstanceGuard::showRequested, &application, [&] {
        if (windows.showWindow(kSettingsWindowId)) {
            return;
        }
        if (!tray.showMessage(QStringLiteral("Scourlet is running"),
                              QStringLiteral("Scourlet is already cleaning copied links."))) {
            std::fprintf(stderr, "Scourlet: another start asked to show Scourlet.\n");
        }
    });
    QObject::connect(&application, &QGuiApplication::applicationStateChanged, &state,
                     [&state](Qt::ApplicationState applicationState) {
                         if (applicationState == Qt::ApplicationActive) {
                             state.applicationBecameActive();
                         }
                     });

    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::received, &application,
                     &QCoreApplication::quit);
    QObject::connect(&application, &QCoreApplication::aboutToQuit, [&] {
        state.stopMonitoring();
        mainQueue->close();
        if (fileDefaults && !fileDefaults->synchronize()) {
            std::fprintf(stderr, "Warning: the settings could not be written.\n");
        }
        if (appGroupDefaults && !appGroupDefaults->synchronize()) {
            std::fprintf(stderr, "Warning: the shared settings could not be written.\n");
        }
    });
    instance.listen();  // ready: later starts are answered from here on
    return QApplication::exec();
}

// The application on a real X server with the real clipboard: a copied link is
// cleaned within two seconds, a menu copy row's text survives the next poll,
// a second start hands over to the first, and quitting writes the settings.
// Run by run-under-xvfb.sh; the clipboard is driven with xclip, as another
// program would.
#include <csignal>
#include <filesystem>
#include <memory>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>

#include "QtTestMain.h"
#include "ScourletCore/platform/FileUserDefaults.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/platform/ThreadExecutor.h"
#include "ScourletCore/updateawareness/UpdateAwareness.h"
#include "app/menu/TrayMenu.h"
#include "app/platform/QtMainQueue.h"
#include "app/platform/QtPasteboard.h"
#include "app/platform/QtTimerScheduler.h"
#include "app/shell/AppState.h"
#include "app/shell/WindowManager.h"
#include "e2e/DesktopTools.h"
#include "support/FakeHttpTransport.h"
#include "support/TempDir.h"

namespace scourlet::app {

namespace {

const QString kTracked = QStringLiteral("https://www.example.com/article?id=42&utm_source=newsletter&fbclid=abc");
const QString kClean = QStringLiteral("https://www.example.com/article?id=42");

using testing::clipboardBecomes;
using testing::copyWithXclip;
using testing::readWithXclip;

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void copiedLinkIsCleanedAndMenuCopySurvives();
    void programRunsOnceAndWritesSettingsOnQuit();
};

void EndToEndTest::copiedLinkIsCleanedAndMenuCopySurvives() {
    QVERIFY2(QGuiApplication::platformName() == QStringLiteral("xcb"), "needs the X11 platform");
    auto defaults = std::make_shared<InMemoryUserDefaults>();
    auto mainQueue = std::make_shared<QtMainQueue>();
    AppState::Services services;
    services.standardDefaults = defaults;
    services.pasteboard = std::make_shared<QtPasteboard>(QGuiApplication::clipboard());
    services.timers = std::make_shared<QtTimerScheduler>();
    services.mainQueue = mainQueue;
    services.executor = std::make_shared<ThreadExecutor>();
    services.clock = std::make_shared<SystemClock>();
    services.monotonicClock = std::make_shared<SteadyMonotonicClock>();
    services.transport = std::make_shared<testing::FakeHttpTransport>();  // no update checks out
    AppState state(std::move(services));
    WindowManager windows(defaults);
    TrayMenu menu(state, windows);

    copyWithXclip(kTracked);
    qint64 took = 0;
    QVERIFY2(clipboardBecomes(kClean, 2000, &took), "the clean link did not arrive within 2 s");
    qInfo("cleaned after %lld ms", static_cast<long long>(took));
    QCOMPARE(state.monitor()->cleanedCountToday(), 1);

    menu.refresh();
    QAction* original = menu.actionFor("menu-original-url");
    QVERIFY(original != nullptr);
    original->trigger();
    QCOMPARE(readWithXclip(), kTracked);
    QTest::qWait(1200);  // two polls
    QCOMPARE(readWithXclip(), kTracked);
    QCOMPARE(state.monitor()->cleanedCountToday(), 1);
}

void EndToEndTest::programRunsOnceAndWritesSettingsOnQuit() {
    testing::ProgramHome home;
    const QProcessEnvironment environment = home.environment();
    QProcess first;
    QVERIFY(home.start(first));

    copyWithXclip(kTracked);
    QVERIFY2(clipboardBecomes(kClean, 2000), "the running program did not clean within 2 s");

    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(qEnvironmentVariable("SCOURLET_APP_PROGRAM"), {});
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(second.readAllStandardError().contains("already running"));
    QCOMPARE(first.state(), QProcess::Running);

    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    QVERIFY(first.waitForFinished(30000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
    const QByteArray errors = first.readAllStandardError();
    QVERIFY2(errors.contains("No system tray"), errors.constData());  // Xvfb has no tray

    const std::string settings =
        testing::readFile(home.path() / "config" / "scourlet" / "com.morrowgate.scourlet.json");
    QVERIFY2(settings.find("cleanedCount_") != std::string::npos, settings.c_str());
}

SCOURLET_QT_TEST(EndToEndTest);

}  // namespace scourlet::app

#include "EndToEndTest.moc"

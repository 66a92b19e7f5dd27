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
#include <QElapsedTimer>
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
#include "support/FakeHttpTransport.h"
#include "support/TempDir.h"

namespace scourlet::app {

namespace {

const QString kTracked = QStringLiteral("https://www.example.com/article?id=42&utm_source=newsletter&fbclid=abc");
const QString kClean = QStringLiteral("https://www.example.com/article?id=42");

// Puts `text` on the clipboard from another program.
void copyWithXclip(const QString& text) {
    QProcess xclip;
    xclip.setStandardOutputFile(QProcess::nullDevice());
    xclip.setStandardErrorFile(QProcess::nullDevice());
    xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                          QStringLiteral("-i")});
    QVERIFY(xclip.waitForStarted(2000));
    xclip.write(text.toUtf8());
    xclip.closeWriteChannel();
    // xclip stays in the background as the clipboard's owner; the first
    // process ends once it has forked.
    QTRY_VERIFY_WITH_TIMEOUT(xclip.state() == QProcess::NotRunning, 3000);
}

// What another program reads from the clipboard. The event loop keeps running
// meanwhile, since this process may be the owner that has to answer.
QString readWithXclip() {
    QProcess xclip;
    xclip.setStandardErrorFile(QProcess::nullDevice());
    xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                          QStringLiteral("-o")});
    if (!xclip.waitForStarted(2000)) {
        return {};
    }
    QElapsedTimer waited;
    waited.start();
    while (xclip.state() != QProcess::NotRunning && waited.elapsed() < 3000) {
        QTest::qWait(10);
    }
    return QString::fromUtf8(xclip.readAllStandardOutput());
}

// Reads the clipboard until it holds `expected` or `limitMs` pass.
bool clipboardBecomes(const QString& expected, int limitMs, qint64* tookMs = nullptr) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() <= limitMs) {
        if (readWithXclip() == expected) {
            if (tookMs != nullptr) {
                *tookMs = waited.elapsed();
            }
            return true;
        }
        QTest::qWait(50);
    }
    return false;
}

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
    const QString program = qEnvironmentVariable("SCOURLET_APP_PROGRAM");
    QVERIFY2(!program.isEmpty(), "SCOURLET_APP_PROGRAM names the program under test");
    testing::TempDir home;
    namespace fs = std::filesystem;
    for (const char* sub : {"config", "data", "runtime"}) {
        fs::create_directories(home / sub);
    }
    fs::permissions(home / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    {
        // The program must not reach out to the maker's host from a test.
        auto settings = std::make_shared<FileUserDefaults>(
            home / "config" / "scourlet" / "com.morrowgate.scourlet.json");
        UpdateAwareness(settings, std::make_shared<SystemClock>()).setAutomaticChecks(false);
        QVERIFY(settings->synchronize());
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), QString::fromStdString(home.path().string()));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString((home / "config").string()));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString((home / "data").string()));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString((home / "runtime").string()));

    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(program, {});
    QVERIFY(first.waitForStarted(30000));
    // Ready (the monitor polling) once it listens for later starts.
    const fs::path socket = home / "runtime" / "scourlet" / "scourlet-app.socket";
    QTRY_VERIFY_WITH_TIMEOUT(fs::exists(socket), 60000);

    copyWithXclip(kTracked);
    QVERIFY2(clipboardBecomes(kClean, 2000), "the running program did not clean within 2 s");

    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(program, {});
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
        testing::readFile(home / "config" / "scourlet" / "com.morrowgate.scourlet.json");
    QVERIFY2(settings.find("cleanedCount_") != std::string::npos, settings.c_str());
}

SCOURLET_QT_TEST(EndToEndTest);

}  // namespace scourlet::app

#include "EndToEndTest.moc"

// The window registry: one window per id, made on first use, never quitting on close.
#include <memory>

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "QtTestMain.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "app/shell/WindowIds.h"
#include "app/shell/WindowManager.h"

namespace scourlet::app {

class WindowManagerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void oneWindowPerIdMadeOnFirstUse();
    void unregisteredIdShowsNothing();
    void settingsPaneIsStoredBeforeTheWindowShows();
    void closingEveryWindowDoesNotQuit();
    void showingAMinimisedWindowRestoresIt();
};

void WindowManagerTest::oneWindowPerIdMadeOnFirstUse() {
    WindowManager windows(std::make_shared<InMemoryUserDefaults>());
    int made = 0;
    windows.registerWindow(kWelcomeWindowId, [&] {
        ++made;
        return new QLabel(QStringLiteral("welcome"));
    });
    QVERIFY(windows.hasWindow(kWelcomeWindowId));
    QCOMPARE(made, 0);
    QVERIFY(windows.existingWindow(kWelcomeWindowId) == nullptr);

    QSignalSpy shown(&windows, &WindowManager::windowShown);
    QVERIFY(windows.showWindow(kWelcomeWindowId));
    QVERIFY(windows.showWindow(kWelcomeWindowId));
    QCOMPARE(made, 1);
    QCOMPARE(shown.count(), 2);
    QWidget* window = windows.existingWindow(kWelcomeWindowId);
    QVERIFY(window != nullptr && window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Welcome to Scourlet"));
    QCOMPARE(window->objectName(), QStringLiteral("welcome-window"));
    QVERIFY(window->width() >= 460 && window->height() >= 420);

    window->close();
    QVERIFY(windows.showWindow(kWelcomeWindowId));
    QCOMPARE(windows.existingWindow(kWelcomeWindowId), window);  // kept, not remade
    QCOMPARE(made, 1);
}

void WindowManagerTest::unregisteredIdShowsNothing() {
    WindowManager windows(std::make_shared<InMemoryUserDefaults>());
    QSignalSpy shown(&windows, &WindowManager::windowShown);
    QVERIFY(!windows.hasWindow(kReportWindowId));
    QVERIFY(!windows.showWindow(kReportWindowId));
    QCOMPARE(shown.count(), 0);
}

void WindowManagerTest::settingsPaneIsStoredBeforeTheWindowShows() {
    auto defaults = std::make_shared<InMemoryUserDefaults>();
    WindowManager windows(defaults);
    std::optional<std::string> paneWhenMade;
    windows.registerWindow(kSettingsWindowId, [&] {
        paneWhenMade = defaults->stringForKey(kSelectedSettingsPaneKey);
        return new QLabel;
    });
    QVERIFY(windows.showSettingsPane(kPrivacyRedirectsPane));
    QCOMPARE(paneWhenMade.value_or(""), std::string(kPrivacyRedirectsPane));
    QVERIFY(windows.showSettingsPane(kAdvancedPane));
    QCOMPARE(defaults->stringForKey(kSelectedSettingsPaneKey).value_or(""),
             std::string(kAdvancedPane));
    QCOMPARE(windows.existingWindow(kSettingsWindowId)->windowTitle(),
             QStringLiteral("Scourlet Preferences"));
}

void WindowManagerTest::closingEveryWindowDoesNotQuit() {
    WindowManager windows(std::make_shared<InMemoryUserDefaults>());
    windows.registerWindow(kReportWindowId, [] { return new QLabel; });
    QVERIFY(windows.showWindow(kReportWindowId));
    QSignalSpy quitting(qApp, &QCoreApplication::aboutToQuit);
    windows.existingWindow(kReportWindowId)->close();
    QTest::qWait(20);
    QCOMPARE(quitting.count(), 0);
}

void WindowManagerTest::showingAMinimisedWindowRestoresIt() {
    WindowManager windows(std::make_shared<InMemoryUserDefaults>());
    windows.registerWindow(kReportWindowId, [] { return new QLabel; });
    QVERIFY(windows.showWindow(kReportWindowId));
    QWidget* window = windows.existingWindow(kReportWindowId);
    window->showMinimized();
    QTRY_VERIFY(window->isMinimized());
    QVERIFY(windows.showWindow(kReportWindowId));
    QTRY_VERIFY(!window->isMinimized());
    QVERIFY(window->isVisible());
}

SCOURLET_QT_TEST(WindowManagerTest);

}  // namespace scourlet::app

#include "WindowManagerTest.moc"

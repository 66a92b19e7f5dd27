// The Qt adapters of the core's platform interfaces, on the offscreen platform.
#include <chrono>
#include <memory>

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMimeData>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include "FakeLauncher.h"
#include "OutputCapture.h"
#include "QtTestMain.h"
#include "app/platform/FreedesktopNotificationPoster.h"
#include "app/platform/LinkLaunchWarnings.h"
#include "app/platform/LinkOpener.h"
#include "app/platform/QtMainQueue.h"
#include "app/platform/QtPasteboard.h"
#include "app/platform/QtTimerScheduler.h"

using namespace std::chrono_literals;

namespace scourlet::app {

class QtAdaptersTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pasteboardCountsOwnAndForeignChangesOnce();
    void pasteboardReadsAreBounded();
    void timerTickNeverReenters();
    void timerStopsWhenHandleEndsInsideTick();
    void mainQueueRunsInOrderAndDropsAfterClose();
    void notificationsFallBackWithoutABus();
    void launchWarningsLeaveTheLinkOut();
    void linkOpenerKeepsTheLauncherOutOfOurOutput();
};

void QtAdaptersTest::pasteboardCountsOwnAndForeignChangesOnce() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    QtPasteboard pasteboard(clipboard);
    Connection watching = pasteboard.watch();
    const std::int64_t start = pasteboard.changeCount();

    const std::int64_t afterWrite = pasteboard.clearAndWrite("https://a.example/?a=1&b=2");
    QCoreApplication::processEvents();
    QCOMPARE(afterWrite, start + 1);
    QCOMPARE(pasteboard.changeCount(), afterWrite);
    QCOMPARE(clipboard->text(), QStringLiteral("https://a.example/?a=1&b=2"));

    // Another program's copy.
    auto* foreign = new QMimeData;
    foreign->setText(QStringLiteral("copied elsewhere"));
    clipboard->setMimeData(foreign);
    QCoreApplication::processEvents();
    QCOMPARE(pasteboard.changeCount(), afterWrite + 1);

    // The selection is not the clipboard.
    if (clipboard->supportsSelection()) {
        clipboard->setText(QStringLiteral("selected"), QClipboard::Selection);
        QCOMPARE(pasteboard.changeCount(), afterWrite + 1);
    }
}

void QtAdaptersTest::pasteboardReadsAreBounded() {
    QtPasteboard pasteboard(QGuiApplication::clipboard());
    const auto later = std::chrono::steady_clock::now() + 5s;
    (void)pasteboard.clearAndWrite("0123456789");

    auto whole = pasteboard.string(0, Pasteboard::StringType::plainText, 10, later);
    QVERIFY(whole.ok());
    QCOMPARE(whole->value_or(""), std::string("0123456789"));

    auto tooLarge = pasteboard.string(0, Pasteboard::StringType::plainText, 9, later);
    QVERIFY(!tooLarge.ok());
    QVERIFY(tooLarge.error() == Pasteboard::ReadError::tooLarge);

    auto late = pasteboard.string(0, Pasteboard::StringType::plainText, 100,
                                  std::chrono::steady_clock::now() - 1ms);
    QVERIFY(!late.ok());
    QVERIFY(late.error() == Pasteboard::ReadError::timedOut);

    auto noUrl = pasteboard.string(0, Pasteboard::StringType::url, 100, later);
    QVERIFY(noUrl.ok());
    QVERIFY(!noUrl->has_value());
    auto noItem = pasteboard.string(1, Pasteboard::StringType::plainText, 100, later);
    QVERIFY(noItem.ok() && !noItem->has_value());
    QCOMPARE(pasteboard.itemCount(), std::size_t{1});
}

void QtAdaptersTest::timerTickNeverReenters() {
    QtTimerScheduler timers;
    int ticks = 0;
    int depth = 0;
    int deepest = 0;
    Connection timer = timers.scheduleRepeating(5ms, [&] {
        ++ticks;
        deepest = std::max(deepest, ++depth);
        if (ticks == 1) {
            // A nested event loop, as a clipboard read on X11 spins one.
            QEventLoop nested;
            QTimer::singleShot(60, &nested, &QEventLoop::quit);
            nested.exec();
        }
        --depth;
    });
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 3, 2000);
    QCOMPARE(deepest, 1);
}

void QtAdaptersTest::timerStopsWhenHandleEndsInsideTick() {
    QtTimerScheduler timers;
    int ticks = 0;
    Connection timer;
    timer = timers.scheduleRepeating(5ms, [&] {
        ++ticks;
        timer.reset();
    });
    QTest::qWait(80);
    QCOMPARE(ticks, 1);
    QVERIFY(!timer.connected());
}

void QtAdaptersTest::mainQueueRunsInOrderAndDropsAfterClose() {
    auto queue = std::make_shared<QtMainQueue>();
    std::vector<int> ran;
    queue->post([&] { ran.push_back(1); });
    std::thread([&] { queue->post([&] { ran.push_back(2); }); }).join();
    QVERIFY(ran.empty());  // never at once
    QTRY_COMPARE(ran.size(), std::size_t{2});
    QCOMPARE(ran, (std::vector<int>{1, 2}));

    queue->post([&] { ran.push_back(3); });
    queue->close();
    queue->post([&] { ran.push_back(4); });
    QTest::qWait(30);
    QCOMPARE(ran.size(), std::size_t{2});

    // Work still queued when the queue goes away is dropped, not run.
    auto other = std::make_shared<QtMainQueue>();
    other->post([&] { ran.push_back(5); });
    other.reset();
    QTest::qWait(30);
    QCOMPARE(ran.size(), std::size_t{2});
}

void QtAdaptersTest::notificationsFallBackWithoutABus() {
    // The test programs run with the session bus disabled.
    FreedesktopNotificationPoster poster;
    std::optional<bool> answer;
    poster.requestPermission([&](bool granted) { answer = granted; });
    QTRY_VERIFY(answer.has_value());
    QVERIFY(!*answer);  // nothing could show a notification

    std::vector<NotificationPoster::Notification> shown;
    bool trayShowsMessages = true;
    poster.setFallback(
        [&](const NotificationPoster::Notification& n) {
            shown.push_back(n);
            return true;
        },
        [&] { return trayShowsMessages; });
    answer.reset();
    poster.requestPermission([&](bool granted) { answer = granted; });
    QTRY_VERIFY(answer.has_value());
    QVERIFY(*answer);
    QVERIFY(!poster.serviceAvailable());
    poster.post({"id-1", "URL Cleaned", "Removed 1 tracker: utm_source"});
    QCOMPARE(shown.size(), std::size_t{1});
    QCOMPARE(shown[0].body, std::string("Removed 1 tracker: utm_source"));

    trayShowsMessages = false;  // the tray went away
    poster.post({"id-2", "URL Cleaned", "x"});
    QCOMPARE(shown.size(), std::size_t{1});
}

// A link opened from the menu comes from what the user copied: Qt's warnings
// about finding no program for it must not write it to the journal.
void QtAdaptersTest::launchWarningsLeaveTheLinkOut() {
    const struct {
        const char* message;
        const char* shown;
    } cases[] = {
        {"Unable to detect a launcher for 'mailto:?subject=x&body=https://a.example/?id=1'",
         "Unable to detect a launcher for '<link left out>'"},
        {"void QGenericUnixServices::openUrl(const QUrl&): Unable to detect a web browser to "
         "launch 'https://www.google.com/maps/search/Cafe's/@52.5,13.4,15z'",
         "void QGenericUnixServices::openUrl(const QUrl&): Unable to detect a web browser to "
         "launch '<link left out>'"},
        {"Launch failed (xdg-open https://a.example/(x))", "Launch failed (<link left out>)"},
        {"Unable to detect a launcher for '", "Unable to detect a launcher for '<link left out>"},
        {"QProcess: Destroyed while process is still running.",
         "QProcess: Destroyed while process is still running."},
    };
    for (const auto& c : cases) {
        QCOMPARE(withoutLaunchedLink(QString::fromUtf8(c.message)), QString::fromUtf8(c.shown));
    }

    // Installed, the handler passes the warning on without the link.
    keepLinksOutOfLaunchWarnings();
    keepLinksOutOfLaunchWarnings();
    QTest::failOnWarning(QRegularExpression(QStringLiteral("secret")));
    QTest::ignoreMessage(QtWarningMsg, "Unable to detect a launcher for '<link left out>'");
    qWarning("Unable to detect a launcher for '%s'", "mailto:?body=secret");
}

// Every link the application opens goes to xdg-open, whose complaints name the
// link: what it writes never reaches our standard error or output (the
// session's journal), and the caller learns whether it could be started.
void QtAdaptersTest::linkOpenerKeepsTheLauncherOutOfOurOutput() {
    using Kind = testing::FakeLauncher::Kind;
    const QString mapLink = QStringLiteral(
        "https://www.google.com/maps/search/?api=1&query=HiddenCafeQQ7%2050.894967,4.341626");
    const struct {
        const char* name;
        Kind launcher;
        QString link;
        bool opens;
    } cases[] = {
        {"a map link", Kind::records, mapLink, true},
        {"a plain http link", Kind::records, QStringLiteral("http://a.example/HiddenPathQQ7"),
         true},
        {"a mailto link", Kind::records, QStringLiteral("mailto:?body=HiddenNoteQQ7"), true},
        {"no launcher on PATH", Kind::missing, mapLink, false},
        {"a launcher that cannot start", Kind::cannotStart, mapLink, false},
        {"a file link", Kind::records, QStringLiteral("file:///tmp/HiddenFileQQ7"), false},
        {"a script link", Kind::records, QStringLiteral("javascript:HiddenScriptQQ7()"), false},
        {"no link", Kind::records, QString(), false},
    };
    for (const auto& c : cases) {
        testing::FakeLauncher launcher(c.launcher);
        testing::OutputCapture errors;
        testing::OutputCapture output(STDOUT_FILENO);
        const QUrl url(c.link, QUrl::StrictMode);
        QCOMPARE(openLink(url), c.opens);
        if (c.opens) {
            // Noted after its complaint was written.
            QTRY_COMPARE(launcher.opened(), QStringList{QString::fromLatin1(url.toEncoded())});
        } else {
            QTest::qWait(100);
            QVERIFY2(launcher.opened().isEmpty(), c.name);
        }
        const std::string written = output.text() + errors.text();
        QVERIFY2(written.find("QQ7") == std::string::npos, c.name);
        QVERIFY2(written.find("xdg-open") == std::string::npos, c.name);
    }
}

SCOURLET_QT_TEST(QtAdaptersTest);

}  // namespace scourlet::app

#include "QtAdaptersTest.moc"

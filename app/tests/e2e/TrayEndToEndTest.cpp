// The built program in a real system tray, driven from outside as a person
// would: a mouse click on the docked icon, keys, the clipboard, and the tray
// host's own D-Bus calls.
//
// XEmbedTrayTest runs under its own Xvfb (run-under-xvfb.sh) with trayer as
// the tray and no session bus, so Qt docks through XEmbed and the menu is a
// window of the program. StatusNotifierTrayTest also has a private session bus
// (run-with-session-bus.sh) with gtk-sni-tray-standalone as watcher and host,
// so Qt exports a StatusNotifierItem and the menu over com.canonical.dbusmenu.
#include <csignal>
#include <map>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QProcess>
#include <QTest>

#include "DBusMenuHost.h"
#include "QtTestMain.h"
#include "app/menu/MenuModel.h"
#include "app/menu/MenuText.h"
#include "e2e/DesktopTools.h"

namespace scourlet::app {

namespace {

using testing::clipboardBecomes;
using testing::copyWithXclip;
using testing::readWithXclip;
using testing::visibleWindows;
using testing::waitUntil;
using testing::XWindow;

constexpr int kStartLimitMs = 60000;  // a sanitizer build on a busy machine starts slowly
constexpr int kLimitMs = 15000;

const QString kProgramClass = QStringLiteral("scourlet-app");

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Ends a helper program started by a test, whatever happened.
struct Stopped {
    QProcess& process;
    ~Stopped() {
        if (process.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
            if (!process.waitForFinished(10000)) {
                process.kill();
                process.waitForFinished(5000);
            }
        }
    }
};

// The program's windows that are mapped now, split into its tray icon (small)
// and its menu (tall).
std::optional<XWindow> programWindow(bool menu) {
    for (const XWindow& window : visibleWindows(kProgramClass)) {
        const bool tall = window.geometry.height() >= 100;
        const bool small = window.geometry.width() <= 64 && window.geometry.height() <= 64;
        if ((menu && tall) || (!menu && small)) {
            return window;
        }
    }
    return std::nullopt;
}

bool xdotool(const QStringList& arguments) {
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    return tool.waitForFinished(10000) && tool.exitCode() == 0;
}

}  // namespace

class XEmbedTrayTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void menuStaysOpenAndChoosesWithTheKeyboard();

private:
    // Clicks the icon with `button`, waits for the menu and checks that it
    // stays open for a second; its geometry, or nothing when it failed.
    std::optional<XWindow> openMenu(const XWindow& icon, const QString& button);
};

std::optional<XWindow> XEmbedTrayTest::openMenu(const XWindow& icon, const QString& button) {
    const QPoint centre = icon.geometry.center();
    if (!xdotool({QStringLiteral("mousemove"), QString::number(centre.x()),
                  QString::number(centre.y()), QStringLiteral("click"), button})) {
        return std::nullopt;
    }
    std::optional<XWindow> menu;
    if (!waitUntil([&] { return (menu = programWindow(true)).has_value(); }, kLimitMs)) {
        qWarning("no menu window was mapped after a click with button %s", qPrintable(button));
        return std::nullopt;
    }
    // Open means open: still mapped at every look for a second.
    const bool closed = waitUntil([&] { return !testing::isViewable(menu->id); }, 1000, 100);
    if (closed) {
        qWarning("the menu closed within a second of opening");
        return std::nullopt;
    }
    return menu;
}

void XEmbedTrayTest::menuStaysOpenAndChoosesWithTheKeyboard() {
    QProcess tray;
    Stopped stopTray{tray};
    tray.setStandardOutputFile(QProcess::nullDevice());
    tray.setStandardErrorFile(QProcess::nullDevice());
    tray.start(QStringLiteral("trayer"),
               {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                QStringLiteral("--height"), QStringLiteral("24"), QStringLiteral("--SetDockType"),
                QStringLiteral("false")});
    QVERIFY(tray.waitForStarted(10000));
    QVERIFY2(waitUntil([] { return !visibleWindows(QStringLiteral("panel")).isEmpty(); }, kLimitMs),
             "trayer's panel did not appear");

    testing::ProgramHome home;
    QProcess app;
    Stopped stopApp{app};
    app.setStandardOutputFile(QProcess::nullDevice());
    QVERIFY(home.start(app));
    std::optional<XWindow> icon;
    QVERIFY2(waitUntil([&] { return (icon = programWindow(false)).has_value(); }, kStartLimitMs),
             "the icon did not dock in the tray");

    // A right click before any link: the short menu, which stays open.
    const std::optional<XWindow> quiet = openMenu(*icon, QStringLiteral("3"));
    QVERIFY(quiet.has_value());
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
    QVERIFY(waitUntil([&] { return !testing::isViewable(quiet->id); }, kLimitMs));

    const QString tracked =
        QStringLiteral("https://shop.example/item?id=7&color=red&size=m&utm_source=news&fb_ref=x");
    copyWithXclip(tracked);
    QVERIFY2(clipboardBecomes(QStringLiteral("https://shop.example/item?id=7&color=red&size=m"),
                              kLimitMs),
             "the link was not cleaned");

    // A left click: the menu now holds the rows of the cleaned link (eight
    // more rows than before) and stays open.
    const std::optional<XWindow> full = openMenu(*icon, QStringLiteral("1"));
    QVERIFY(full.has_value());
    QVERIFY2(full->geometry.height() >= quiet->geometry.height() + 100,
             qPrintable(QStringLiteral("menu heights %1 and %2")
                            .arg(quiet->geometry.height())
                            .arg(full->geometry.height())));

    // The pointer leaves the menu, so only the keyboard chooses: the fifth row
    // is "Original: …", whose choice copies the original link.
    QVERIFY(xdotool({QStringLiteral("mousemove"), QStringLiteral("5"), QStringLiteral("700")}));
    QVERIFY(testing::isViewable(full->id));
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Down"),
                     QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down"),
                     QStringLiteral("Return")}));
    QVERIFY2(clipboardBecomes(tracked, kLimitMs), qPrintable(readWithXclip()));
    QVERIFY(waitUntil([&] { return !testing::isViewable(full->id); }, kLimitMs));
    QCOMPARE(app.state(), QProcess::Running);
}

namespace {

// One row of an exported menu, as GetLayout gives it.
struct ExportedRow {
    int id = 0;
    QString label;
    bool visible = true;
    bool separator = false;
    int toggleState = -1;
};

// Counts the menu's LayoutUpdated signals.
class LayoutUpdates : public QObject {
    Q_OBJECT
public Q_SLOTS:
    void count() { ++seen; }

public:
    int seen = 0;
};

}  // namespace

class StatusNotifierTrayTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void rowsReadExactlyAndClicksLandWithAWindowOpen();

private:
    QDBusMessage callMenu(const QString& method, const QVariantList& arguments);
    QList<ExportedRow> layout();
    // The shown row with this label as the host shows it, or nothing.
    std::optional<ExportedRow> shownRow(const QString& label);
    bool rowAppears(const QString& label) {
        return waitUntil([&] { return shownRow(label).has_value(); }, kLimitMs, 100);
    }
    bool rowGoes(const QString& label) {
        return waitUntil([&] { return !shownRow(label).has_value(); }, kLimitMs, 100);
    }
    void click(int id);
    void open();

    QString busAddress_;
    QDBusConnection bus_{QStringLiteral("none")};
    QString item_;
    QString menuPath_;
};

void StatusNotifierTrayTest::initTestCase() {
    busAddress_ = qEnvironmentVariable("SCOURLET_TEST_SESSION_BUS");
    QVERIFY2(!busAddress_.isEmpty(), "run-with-session-bus.sh hands over the private bus");
    bus_ = QDBusConnection::connectToBus(busAddress_, QStringLiteral("scourlet-test-bus"));
    QVERIFY(bus_.isConnected());
}

QDBusMessage StatusNotifierTrayTest::callMenu(const QString& method,
                                              const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        item_, menuPath_, QStringLiteral("com.canonical.dbusmenu"), method);
    call.setArguments(arguments);
    return bus_.call(call, QDBus::Block, 10000);
}

QList<ExportedRow> StatusNotifierTrayTest::layout() {
    const QDBusMessage reply = callMenu(QStringLiteral("GetLayout"), {0, -1, QStringList()});
    QList<ExportedRow> rows;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 2) {
        return rows;
    }
    const QDBusArgument root = reply.arguments().at(1).value<QDBusArgument>();
    int rootId = 0;
    QVariantMap rootProperties;
    root.beginStructure();
    root >> rootId >> rootProperties;
    root.beginArray();
    while (!root.atEnd()) {
        QDBusVariant child;
        root >> child;
        const QDBusArgument item = child.variant().value<QDBusArgument>();
        ExportedRow row;
        QVariantMap properties;
        item.beginStructure();
        item >> row.id >> properties;
        item.endStructure();
        row.label = properties.value(QStringLiteral("label")).toString();
        row.visible = properties.value(QStringLiteral("visible"), true).toBool();
        row.separator =
            properties.value(QStringLiteral("type")).toString() == QLatin1String("separator");
        row.toggleState = properties.value(QStringLiteral("toggle-state"), -1).toInt();
        rows.append(row);
    }
    root.endArray();
    root.endStructure();
    return rows;
}

std::optional<ExportedRow> StatusNotifierTrayTest::shownRow(const QString& label) {
    for (const ExportedRow& row : layout()) {
        if (row.visible && !row.separator &&
            fromUtf8(testing::hostShows(row.label.toStdString())) == label) {
            return row;
        }
    }
    return std::nullopt;
}

void StatusNotifierTrayTest::click(int id) {
    // As a tray sends it: the id, "clicked", no data, a timestamp.
    const QDBusMessage reply =
        callMenu(QStringLiteral("Event"),
                 {id, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
}

void StatusNotifierTrayTest::open() {
    QCOMPARE(callMenu(QStringLiteral("AboutToShow"), {0}).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(callMenu(QStringLiteral("Event"),
                      {0, QStringLiteral("opened"), QVariant::fromValue(QDBusVariant(0)), 0u})
                 .type(),
             QDBusMessage::ReplyMessage);
}

void StatusNotifierTrayTest::rowsReadExactlyAndClicksLandWithAWindowOpen() {
    QProcessEnvironment onBus = QProcessEnvironment::systemEnvironment();
    onBus.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress_);
    onBus.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    QProcess tray;
    Stopped stopTray{tray};
    tray.setProcessEnvironment(onBus);
    tray.setStandardOutputFile(QProcess::nullDevice());
    tray.setStandardErrorFile(QProcess::nullDevice());
    tray.start(QStringLiteral("gtk-sni-tray-standalone"),
               {QStringLiteral("--top"), QStringLiteral("--end"), QStringLiteral("-w")});
    QVERIFY(tray.waitForStarted(10000));
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    QVERIFY2(
        waitUntil([&] { return bus_.interface()->isServiceRegistered(watcher).value(); }, kLimitMs),
        "the tray's watcher did not appear");

    testing::ProgramHome home;
    QProcessEnvironment environment = home.environment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress_);
    QProcess app;
    Stopped stopApp{app};
    app.setStandardOutputFile(QProcess::nullDevice());
    QVERIFY(home.start(app, environment));

    // The item the program registered, and the path of its menu.
    QVERIFY2(waitUntil(
                 [&] {
                     QDBusMessage get = QDBusMessage::createMethodCall(
                         watcher, QStringLiteral("/StatusNotifierWatcher"),
                         QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
                     get.setArguments({watcher, QStringLiteral("RegisteredStatusNotifierItems")});
                     const QDBusMessage reply = bus_.call(get);
                     const QStringList items =
                         reply.arguments().value(0).value<QDBusVariant>().variant().toStringList();
                     if (items.isEmpty()) {
                         return false;
                     }
                     item_ = items.first().section(u'/', 0, 0);
                     return true;
                 },
                 kStartLimitMs, 100),
             "the program registered no StatusNotifierItem");
    QDBusMessage getMenu = QDBusMessage::createMethodCall(
        item_, QStringLiteral("/StatusNotifierItem"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    getMenu.setArguments({QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Menu")});
    menuPath_ = bus_.call(getMenu)
                    .arguments()
                    .value(0)
                    .value<QDBusVariant>()
                    .variant()
                    .value<QDBusObjectPath>()
                    .path();
    QVERIFY2(!menuPath_.isEmpty(), "the item names no menu");
    QVERIFY(rowAppears(QStringLiteral("Auto-Clean Copied Links: ON")));

    // Every row reads as the model says, whatever "&" and "_" the link holds.
    const struct {
        const char* name;
        QString link;
        QString removed;
    } links[] = {
        {"ampersands and underscores",
         QStringLiteral("https://shop.example/item?id=7&color=red&size=m&utm_source=news&fb_ref=x"),
         QStringLiteral("utm_source, fb_ref")},
        {"underscore first", QStringLiteral("https://a.example/my_page?a=1&b_c=2&utm_source=x"),
         QStringLiteral("utm_source")},
        {"double underscore", QStringLiteral("https://b.example/x__y?q=1__2&utm_medium=mail"),
         QStringLiteral("utm_medium")},
        {"double ampersand", QStringLiteral("https://c.example/p?a=1&&b=2&utm_campaign=z"),
         QStringLiteral("utm_campaign")},
    };
    for (const auto& c : links) {
        copyWithXclip(c.link);
        QString cleaned;
        QVERIFY2(waitUntil([&] { return (cleaned = readWithXclip()) != c.link; }, kLimitMs),
                 c.name);
        const std::string original = menuText(c.link.toStdString(), kURLRowLimit);
        for (const QString& row :
             {QStringLiteral("Original: ") + fromUtf8(original),
              QStringLiteral("Cleaned: ") + fromUtf8(menuText(cleaned.toStdString(), kURLRowLimit)),
              QStringLiteral("Removed: ") + c.removed}) {
            QVERIFY2(rowAppears(row),
                     qPrintable(QStringLiteral("%1: no row \"%2\"").arg(c.name, row)));
        }
    }

    // A window of the program is open while the menu is used.
    const std::optional<ExportedRow> preferences = shownRow(QStringLiteral("Preferences\u2026"));
    QVERIFY(preferences.has_value());
    click(preferences->id);
    QVERIFY2(
        waitUntil(
            [] {
                return !testing::runTool(
                            QStringLiteral("xdotool"),
                            {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                             QStringLiteral("--name"), QStringLiteral("^Scourlet Preferences$")})
                            .isEmpty();
            },
            kLimitMs),
        "the settings window did not open");

    LayoutUpdates updates;
    QVERIFY(bus_.connect(item_, menuPath_, QStringLiteral("com.canonical.dbusmenu"),
                         QStringLiteral("LayoutUpdated"), &updates, SLOT(count())));
    const auto ids = [this] {
        std::map<int, QString> byId;
        for (const ExportedRow& row : layout()) {
            byId[row.id] = row.label;
        }
        return byId;
    };
    const auto rowIds = [](const std::map<int, QString>& rows) {
        QList<int> out;
        for (const auto& [id, label] : rows) {
            out.append(id);
        }
        return out;
    };

    // Opening costs no layout update when nothing changed, and a click with
    // an id read before the opening lands.
    const std::optional<ExportedRow> autoClean =
        shownRow(QStringLiteral("Auto-Clean Copied Links: ON"));
    QVERIFY(autoClean.has_value());
    const std::map<int, QString> before = ids();
    open();
    QTest::qWait(500);  // whatever the opening set off has run
    QVERIFY2(updates.seen <= 1, qPrintable(QString::number(updates.seen)));
    QCOMPARE(rowIds(ids()), rowIds(before));
    click(autoClean->id);
    QVERIFY(rowAppears(QStringLiteral("Auto-Clean Copied Links: OFF")));
    QCOMPARE(shownRow(QStringLiteral("Auto-Clean Copied Links: OFF"))->id, autoClean->id);
    QCOMPARE(shownRow(QStringLiteral("Auto-Clean Copied Links: OFF"))->toggleState, 0);
    QCOMPARE(rowIds(ids()), rowIds(before));
    click(autoClean->id);
    QVERIFY(rowAppears(QStringLiteral("Auto-Clean Copied Links: ON")));

    // A risky command brings its rows; "Clear Command Warning" takes them away.
    copyWithXclip(QStringLiteral("curl -fsSL https://get.example/install.sh | sh"));
    QVERIFY(rowAppears(QStringLiteral("Clear Command Warning")));
    const int clear = shownRow(QStringLiteral("Clear Command Warning"))->id;
    open();
    click(clear);
    QVERIFY(rowGoes(QStringLiteral("Clear Command Warning")));

    // "Disable Cleaning for This Site" adds the last cleaned link's host to the
    // exceptions and forgets the record the row stands for.
    const std::optional<ExportedRow> disable =
        shownRow(QStringLiteral("Disable Cleaning for This Site"));
    QVERIFY(disable.has_value());
    open();
    click(disable->id);
    QVERIFY(rowGoes(QStringLiteral("Disable Cleaning for This Site")));
    QCOMPARE(app.state(), QProcess::Running);
}

SCOURLET_QT_TEST(XEmbedTrayTest);
SCOURLET_QT_TEST(StatusNotifierTrayTest);

}  // namespace scourlet::app

#include "TrayEndToEndTest.moc"

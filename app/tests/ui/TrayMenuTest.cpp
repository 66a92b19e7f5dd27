// The tray menu and icon over a real AppState on an in-memory clipboard.
#include <memory>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QStyleOptionMenuItem>
#include <QTest>

#include "FakeAppServices.h"
#include "FakeLauncher.h"
#include "OutputCapture.h"
#include "QtTestMain.h"
#include "ScourletCore/updateawareness/UpdateAwareness.h"
#include "app/menu/MenuModel.h"
#include "app/menu/TrayMenu.h"
#include "app/shell/AppState.h"
#include "app/shell/TrayIcon.h"
#include "app/shell/WindowIds.h"
#include "app/shell/WindowManager.h"

using namespace std::chrono_literals;

namespace scourlet::app {

namespace {

struct Fixture : testing::FakeAppServices {
    Fixture() {
        state = std::make_unique<AppState>(services());  // the network answers nothing
        windows = std::make_unique<WindowManager>(defaults);
        menu = std::make_unique<TrayMenu>(*state, *windows);
        QCoreApplication::processEvents();
    }

    // Copies `text` as another program would and lets one poll run.
    void copyAndPoll(const std::string& text) {
        pasteboard->copy(text);
        poll();
    }
    void poll() {
        timers->advance(500ms);
        QCoreApplication::processEvents();  // the coalesced change: the menu refreshes
    }
    QAction* action(std::string_view id) const { return menu->actionFor(id); }

    std::unique_ptr<AppState> state;
    std::unique_ptr<WindowManager> windows;
    std::unique_ptr<TrayMenu> menu;
};

const std::string kTracked = "https://shop.example/item?id=7&color=red&utm_source=news";
const std::string kClean = "https://shop.example/item?id=7&color=red";

// The text a menu widget draws for an action (what its style is given).
struct DrawnText : QMenu {
    static QString of(const QMenu& menu, const QAction* action) {
        QStyleOptionMenuItem option;
        const auto initStyleOption = &DrawnText::initStyleOption;
        (menu.*initStyleOption)(&option, action);
        return option.text;
    }
};

// The row of `menu` that assistive technology finds for `action`.
QAccessibleInterface* accessibleRow(QMenu& menu, const QAction* action) {
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&menu);
    if (list == nullptr) {
        return nullptr;
    }
    for (int i = 0; i < list->childCount(); ++i) {
        QAccessibleInterface* row = list->child(i);
        if (row != nullptr && row->object() == action) {
            return row;
        }
    }
    return nullptr;
}

}  // namespace

class TrayMenuTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rowsFollowTheLastCleanAndShowAmpersands();
    void openMenuKeepsItsActionsAcrossChanges();
    void typedCharactersChooseNothing();
    void rowsReachAccessibilityWithTheirLabels();
    void copyRowSurvivesTheNextPoll();
    void togglesSwitchTheMonitorAndTheIcon();
    void windowRowsAppearOnceRegistered();
    void toolTipsStayPlainText();
    void rowsNamingAPaneOpenIt();
    void updateRowsOpenTheirPane();
    void openingTheMenuStartsTheChecksThatAreDue();
    void mapLinkIsRecordedOnlyOnceALauncherTookIt();
};

void TrayMenuTest::rowsFollowTheLastCleanAndShowAmpersands() {
    Fixture f;
    QCOMPARE(f.action("menu-no-cleaned-links")->text(), QStringLiteral("No cleaned links yet"));
    QVERIFY(!f.action("menu-no-cleaned-links")->isEnabled());  // no settings window yet
    f.copyAndPoll(kTracked);
    QCOMPARE(f.pasteboard->text().value_or(""), kClean);
    QVERIFY(f.action("menu-no-cleaned-links") == nullptr);
    QCOMPARE(f.action("menu-cleaned-today")->text(), QStringLiteral("1 URLs cleaned today"));

    // The widget draws every "&" doubled, so it shows each and takes none for a
    // mnemonic; the action's text is what the D-Bus export turns into the same
    // row (first "&" and every "_" doubled).
    const struct {
        const char* row;
        QString drawn;
        QString exported;
    } cases[] = {
        {"menu-original-url",
         QStringLiteral("Original: https://shop.example/item?id=7&&color=red&&utm_source=news"),
         QStringLiteral("Original: https://shop.example/item?id=7&&color=red&utm__source=news")},
        {"menu-cleaned-url", QStringLiteral("Cleaned: https://shop.example/item?id=7&&color=red"),
         QStringLiteral("Cleaned: https://shop.example/item?id=7&&color=red")},
        {"menu-last-clean-status", QStringLiteral("Removed: utm_source"),
         QStringLiteral("Removed: utm__source")},
    };
    for (const auto& c : cases) {
        QAction* action = f.action(c.row);
        QVERIFY2(action != nullptr, c.row);
        QCOMPARE(DrawnText::of(*f.menu, action), c.drawn);
        QCOMPARE(action->text(), c.exported);
    }
    // Measured by what it draws, so nothing is elided: as wide as a plain menu
    // of the drawn rows.
    QMenu plain;
    for (QAction* action : f.menu->actions()) {
        if (action->isSeparator()) {
            plain.addSeparator()->setVisible(action->isVisible());
        } else {
            QAction* copy = plain.addAction(DrawnText::of(*f.menu, action));
            copy->setCheckable(action->isCheckable());
            copy->setVisible(action->isVisible());
        }
    }
    QCOMPARE(f.menu->sizeHint(), plain.sizeHint());
}

void TrayMenuTest::openMenuKeepsItsActionsAcrossChanges() {
    Fixture f;
    // Opened at the top right, as from a tray there.
    const QRect screen = f.menu->screen()->availableGeometry();
    f.menu->popup(screen.topRight());
    QVERIFY(QTest::qWaitForWindowExposed(f.menu.get()));
    const QList<QAction*> opened = f.menu->actions();
    int changes = 0;
    for (QAction* action : opened) {
        connect(action, &QAction::changed, this, [&changes] { ++changes; });
    }

    // The activation of the opening and a change that leaves the rows as they
    // are: the same actions, untouched.
    f.state->applicationBecameActive();
    Q_EMIT f.state->changed();
    QCoreApplication::processEvents();
    QCOMPARE(f.menu->actions(), opened);
    QCOMPARE(changes, 0);
    QVERIFY(f.menu->isVisible());

    // A clean while it is open: rows that stay keep their actions, new ones
    // come in between, the row that went away is hidden, not removed.
    QAction* autoClean = f.action("menu-auto-clean");
    QAction* quit = f.action("menu-quit");
    QAction* noLinks = f.action("menu-no-cleaned-links");
    f.copyAndPoll(kTracked);
    QVERIFY(f.menu->isVisible());
    QCOMPARE(f.action("menu-auto-clean"), autoClean);
    QCOMPARE(f.action("menu-quit"), quit);
    for (QAction* action : opened) {
        QVERIFY(f.menu->actions().contains(action));
    }
    QVERIFY(f.action("menu-no-cleaned-links") == nullptr);
    QVERIFY(!noLinks->isVisible());
    // Grown wider and taller, still whole on the screen.
    QVERIFY(screen.contains(f.menu->geometry()));
    const QList<QAction*> all = f.menu->actions();
    QVERIFY(all.indexOf(f.action("menu-original-url")) < all.indexOf(f.action("menu-cleaned-today")));

    // A change in place: the toggle's text and check mark, same action.
    f.state->monitor()->setIsEnabled(false);
    QCoreApplication::processEvents();
    QCOMPARE(f.action("menu-auto-clean"), autoClean);
    QCOMPARE(autoClean->text(), QStringLiteral("Auto-Clean Copied Links: OFF"));
    QVERIFY(!autoClean->isChecked());

    // The row that went away comes back in its own action, in its place; a
    // hidden row does nothing when a tray still clicks it.
    QAction* original = f.action("menu-original-url");
    f.state->monitor()->setIsEnabled(true);
    f.state->monitor()->setLastCleanedResult(std::nullopt);
    QCoreApplication::processEvents();
    QCOMPARE(f.action("menu-no-cleaned-links"), noLinks);
    QVERIFY(f.action("menu-original-url") == nullptr);
    f.pasteboard->copy("unrelated");
    original->trigger();
    QCOMPARE(f.pasteboard->text().value_or(""), std::string("unrelated"));
    const QList<QAction*> back = f.menu->actions();
    QVERIFY(back.indexOf(noLinks) < back.indexOf(f.action("menu-cleaned-today")));
    QVERIFY(f.menu->isVisible());
    f.menu->hide();
}

void TrayMenuTest::typedCharactersChooseNothing() {
    Fixture f;
    f.copyAndPoll(kTracked);
    f.pasteboard->copy("unrelated");
    f.menu->popup(QPoint(10, 10));
    QVERIFY(QTest::qWaitForWindowExposed(f.menu.get()));
    // The original row's exported text holds "&utm__source": a menu would take
    // "u" for its access key.
    QTest::keyClick(f.menu.get(), Qt::Key_U);
    QVERIFY(f.menu->isVisible());
    QCOMPARE(f.pasteboard->text().value_or(""), std::string("unrelated"));
    f.menu->setActiveAction(f.action("menu-original-url"));
    QTest::keyClick(f.menu.get(), Qt::Key_Return);
    QCOMPARE(f.pasteboard->text().value_or(""), kTracked);
}

void TrayMenuTest::rowsReachAccessibilityWithTheirLabels() {
    Fixture f;
    f.copyAndPoll(kTracked);
    const struct {
        const char* row;
        QString name;
        QString description;
    } cases[] = {
        {"menu-original-url", QStringLiteral("Original URL"), QStringLiteral("Copy original URL")},
        {"menu-cleaned-url", QString::fromUtf8(kCleanedURLAccessibleName.data(),
                                               static_cast<qsizetype>(kCleanedURLAccessibleName.size())),
         QStringLiteral("Copy cleaned URL")},
        // Without a label, the row's text exactly as shown.
        {"menu-last-clean-status", QStringLiteral("Removed: utm_source"), QString()},
        {"menu-disable-site", QStringLiteral("Disable Cleaning for This Site"),
         QStringLiteral("shop.example")},
    };
    for (const auto& c : cases) {
        QAccessibleInterface* row = accessibleRow(*f.menu, f.action(c.row));
        QVERIFY2(row != nullptr, c.row);
        QCOMPARE(row->role(), QAccessible::MenuItem);
        QCOMPARE(row->text(QAccessible::Name), c.name);
        QCOMPARE(row->text(QAccessible::Description), c.description);
    }
    QAccessibleInterface* toggle = accessibleRow(*f.menu, f.action("menu-auto-clean"));
    QVERIFY(toggle->state().checkable && toggle->state().checked);
    QAccessibleInterface* copy = accessibleRow(*f.menu, f.action("menu-cleaned-url"));
    f.pasteboard->copy("unrelated");
    copy->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(f.pasteboard->text().value_or(""), kClean);
}

void TrayMenuTest::copyRowSurvivesTheNextPoll() {
    Fixture f;
    f.copyAndPoll(kTracked);
    f.action("menu-original-url")->trigger();
    QCOMPARE(f.pasteboard->text().value_or(""), kTracked);
    f.poll();
    f.poll();
    // Not cleaned again, not counted again.
    QCOMPARE(f.pasteboard->text().value_or(""), kTracked);
    QCOMPARE(f.state->monitor()->cleanedCountToday(), 1);
}

void TrayMenuTest::togglesSwitchTheMonitorAndTheIcon() {
    Fixture f;
    TrayIcon tray(*f.state, *f.menu);
    QCOMPARE(tray.label().symbolName, std::string("link.circle.fill"));
    QCOMPARE(tray.systemTrayIcon().toolTip(), QStringLiteral("Scourlet"));
    QAction* autoClean = f.action("menu-auto-clean");
    QVERIFY(autoClean->isCheckable() && autoClean->isChecked());
    autoClean->trigger();
    QVERIFY(!f.state->monitor()->isEnabled());
    QCoreApplication::processEvents();
    QCOMPARE(f.action("menu-auto-clean")->text(), QStringLiteral("Auto-Clean Copied Links: OFF"));
    QCOMPARE(tray.label().symbolName, std::string("link.circle"));
    QCOMPARE(tray.systemTrayIcon().toolTip(), QStringLiteral("Scourlet, cleaning disabled"));
    QVERIFY(!tray.systemTrayIcon().icon().isNull());
    f.copyAndPoll(kTracked);
    QCOMPARE(f.pasteboard->text().value_or(""), kTracked);  // cleaning is off

    f.action("menu-auto-resolve")->trigger();
    QVERIFY(f.state->monitor()->automaticShareLinkResolutionEnabled());
}

void TrayMenuTest::windowRowsAppearOnceRegistered() {
    Fixture f;
    QVERIFY(f.action("menu-welcome") == nullptr);
    QVERIFY(f.action("menu-preferences") == nullptr);
    QVERIFY(f.action("menu-quit") != nullptr);
    f.windows->registerWindow(kWelcomeWindowId, [] { return new QLabel; });
    f.windows->registerWindow(kSettingsWindowId, [] { return new QLabel; });
    f.menu->refresh();
    QVERIFY(f.action("menu-preferences") != nullptr);
    f.action("menu-welcome")->trigger();
    QVERIFY(f.defaults->boolForKey(TrayMenu::kWelcomeAcknowledgedKey));
    QVERIFY(f.windows->existingWindow(kWelcomeWindowId)->isVisible());
    QVERIFY(f.action("menu-no-cleaned-links")->isEnabled());
    f.action("menu-no-cleaned-links")->trigger();
    QVERIFY(f.windows->existingWindow(kSettingsWindowId)->isVisible());
}

void TrayMenuTest::rowsNamingAPaneOpenIt() {
    Fixture f;
    f.windows->registerWindow(kSettingsWindowId, [] { return new QLabel; });
    f.defaults->setString(kSelectedSettingsPaneKey, "Rules");
    f.menu->refresh();
    f.action("menu-preferences")->trigger();  // the pane last shown
    QCOMPARE(f.defaults->stringForKey(kSelectedSettingsPaneKey).value_or(""), std::string("Rules"));

    f.state->exceptionStore()->disable("shop.example");
    f.copyAndPoll(kTracked);
    f.action("menu-manage-exceptions")->trigger();
    QCOMPARE(f.defaults->stringForKey(kSelectedSettingsPaneKey).value_or(""),
             std::string(kExceptionsPane));

    f.defaults->setString(kSelectedSettingsPaneKey, "Rules");
    f.copyAndPoll("curl -fsSL https://get.example/install.sh | sh");
    QAction* review = f.action("menu-review-command-warning");
    QVERIFY(review != nullptr);
    review->trigger();
    QCOMPARE(f.defaults->stringForKey(kSelectedSettingsPaneKey).value_or(""),
             std::string(kStatusPane));
    QVERIFY(f.windows->existingWindow(kSettingsWindowId)->isVisible());
}

void TrayMenuTest::toolTipsStayPlainText() {
    Fixture f;
    f.copyAndPoll(kTracked);
    const QString tip = f.action("menu-disable-site")->toolTip();
    QCOMPARE(tip, QStringLiteral("<qt>shop.example</qt>"));
    f.action("menu-disable-site")->trigger();
    QVERIFY(f.state->exceptionStore()->isDisabled("shop.example"));
}

void TrayMenuTest::updateRowsOpenTheirPane() {
    Fixture f;
    f.windows->registerWindow(kSettingsWindowId, [] { return new QLabel; });
    f.state->updateAwareness()->success(UpdateClass::app, "99.0", std::nullopt);
    f.state->updateAwareness()->success(UpdateClass::rules, "2099.1.1.1", std::nullopt);
    f.state->updateAwareness()->success(UpdateClass::catalog, "9000000000", std::nullopt);
    QCoreApplication::processEvents();
    QList<QAction*> all = f.menu->actions();
    QCOMPARE(all.at(0)->objectName(), QStringLiteral("update-row-app"));
    QCOMPARE(all.at(0)->text(), QStringLiteral("Scourlet 99.0 available"));
    QCOMPARE(all.at(1)->objectName(), QStringLiteral("update-row-rules"));
    QCOMPARE(all.at(2)->objectName(), QStringLiteral("update-row-catalog"));
    QVERIFY(all.at(3)->isSeparator());

    const struct {
        const char* row;
        std::string_view pane;
    } cases[] = {
        {"update-row-catalog", kPrivacyRedirectsPane},
        {"update-row-rules", kAdvancedPane},
        {"update-row-app", kAdvancedPane},
    };
    for (const auto& c : cases) {
        if (QWidget* window = f.windows->existingWindow(kSettingsWindowId)) {
            window->hide();
        }
        f.action(c.row)->trigger();
        QCOMPARE(f.defaults->stringForKey(kSelectedSettingsPaneKey).value_or(""),
                 std::string(c.pane));
        QVERIFY2(f.windows->existingWindow(kSettingsWindowId)->isVisible(), c.row);
    }
}

void TrayMenuTest::openingTheMenuStartsTheChecksThatAreDue() {
    Fixture f;  // its launch turn started the desktop and catalog checks
    const auto settle = [&f] {
        while (f.executor->runAll() > 0 || f.mainQueue->runAll() > 0) {
        }
    };
    QCOMPARE(f.executor->submittedCount(), std::size_t{2});
    settle();
    QCOMPARE(f.http->sent().size(), std::size_t{2});  // the fake host, never the network

    f.clock->advance(1h);
    Q_EMIT f.menu->aboutToShow();
    QCOMPARE(f.executor->submittedCount(), std::size_t{2});  // both ran less than a day ago

    f.clock->advance(24h);
    Q_EMIT f.menu->aboutToShow();
    QCOMPARE(f.executor->submittedCount(), std::size_t{4});
    settle();
    QCOMPARE(f.http->sent().size(), std::size_t{4});
}

// The converted link goes to the launcher, which never writes to our log; it
// is recorded only when the launcher started, and otherwise the user is told
// through the tray while nothing is recorded.
void TrayMenuTest::mapLinkIsRecordedOnlyOnceALauncherTookIt() {
    using Kind = testing::FakeLauncher::Kind;
    const struct {
        const char* name;
        Kind launcher;
    } cases[] = {
        {"xdg-open", Kind::records},
        {"no xdg-open", Kind::missing},
        {"an xdg-open that cannot start", Kind::cannotStart},
    };
    const QString converted =
        QStringLiteral("https://www.google.com/maps/search/Cafe/@52.5,13.4,15z");
    for (const auto& c : cases) {
        Fixture f;
        TrayIcon icon(*f.state, *f.menu);
        f.copyAndPoll("https://maps.apple.com/?ll=52.5,13.4&q=Cafe&z=15&utm_source=share");
        QAction* open = f.action("menu-open-map-link");
        QVERIFY(open != nullptr);
        QCOMPARE(open->text(), QStringLiteral("Open in Google Maps (Local)"));
        QVERIFY(f.action("menu-copy-wayback-link") != nullptr);
        const std::size_t before = f.state->monitor()->lastCleanedResult()->operations.size();

        testing::FakeLauncher launcher(c.launcher);
        QSignalSpy told(f.menu.get(), &TrayMenu::messageForUser);
        testing::OutputCapture log;
        open->trigger();
        const auto& result = f.state->monitor()->lastCleanedResult();
        QVERIFY(result.has_value());
        if (c.launcher == Kind::records) {
            QTRY_COMPARE(launcher.opened(), QStringList{converted});
            QCOMPARE(result->operations.size(), before + 1);
            QVERIFY(result->operations.back().kind == CleanOperationKind::functionalTransformation);
            QCOMPARE(told.size(), 0);
        } else {
            QCOMPARE(result->operations.size(), before);
            QCOMPARE(told.size(), 1);
            QCOMPARE(told.at(0).at(0).toString(), QStringLiteral("Map link not opened"));
            QVERIFY2(!told.at(0).at(1).toString().contains(QStringLiteral("Cafe")), c.name);
        }
        QVERIFY2(log.text().find("Cafe") == std::string::npos, c.name);
    }
}

SCOURLET_QT_TEST(TrayMenuTest);

}  // namespace scourlet::app

#include "TrayMenuTest.moc"

// The windows as a keyboard and a screen reader meet them, over a real
// AppState: every focus stop is named, the links of the panes are focus stops
// that read as links and open from the keyboard and the reader, and the focus
// goes where the user's attention went (the pane a reader chose, the row after
// a removed exception).
#include <algorithm>
#include <memory>
#include <string>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QListWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include "AccessibleTree.h"
#include "FakeAppServices.h"
#include "QtTestMain.h"
#include "ScourletCore/linkrewriting/PrivacyRedirectSettings.h"
#include "ScourletCore/linkrewriting/XRedirectSettingsModel.h"
#include "app/settings/GeneralSettingsContent.h"
#include "app/settings/LastCleanDetail.h"
#include "app/settings/LinkButton.h"
#include "app/settings/PrivacyRedirectsModel.h"
#include "app/settings/SettingsWindow.h"
#include "app/shell/AppState.h"
#include "app/shell/ApplicationWindows.h"
#include "app/shell/WindowIds.h"
#include "app/shell/WindowManager.h"

using namespace std::chrono_literals;

namespace scourlet::app {

namespace {

// The program's windows, registered as main() does, over faked services.
struct Fixture : testing::FakeAppServices {
    Fixture() {
        state = std::make_unique<AppState>(services());
        windows = std::make_unique<WindowManager>(defaults);
        registerApplicationWindows(*windows, *state);
        QCoreApplication::processEvents();
    }
    ~Fixture() { windows.reset(); }  // the windows go before the state they read

    void copyAndPoll(const std::string& text) {
        pasteboard->copy(text);
        timers->advance(500ms);
        QCoreApplication::processEvents();
    }
    // The settings window on `pane`, shown, active and laid out.
    SettingsWindow* settingsOn(const char* pane) {
        if (!windows->showSettingsPane(pane)) {
            return nullptr;
        }
        QCoreApplication::processEvents();  // the open window follows the stored pane
        auto* window = qobject_cast<SettingsWindow*>(windows->existingWindow(kSettingsWindowId));
        window->activateWindow();
        return QTest::qWaitForWindowActive(window) ? window : nullptr;
    }

    std::unique_ptr<AppState> state;
    std::unique_ptr<WindowManager> windows;
};

QToolButton* tabOf(QWidget* window, const char* pane) {
    return window->findChild<QToolButton*>(QStringLiteral("settings-tab-") +
                                           QString::fromUtf8(pane));
}

// Tab from wherever the focus is until it lands on `target`; false when the
// chain comes round without meeting it.
bool tabTo(QWidget* target) {
    QWidget* first = nullptr;
    for (int step = 0; step < 300; ++step) {
        QWidget* focused = QApplication::focusWidget();
        if (focused == target) {
            return true;
        }
        if (focused == nullptr || focused == first) {
            return false;
        }
        if (first == nullptr) {
            first = focused;
        }
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    return false;
}

// The widgets Tab stops at inside `root` (shown, enabled, taking Tab), in
// the window's Tab order.
QList<QWidget*> focusStops(QWidget* root) {
    QList<QWidget*> stops;
    QWidget* window = root->window();
    for (QWidget* at = window->nextInFocusChain(); at != window; at = at->nextInFocusChain()) {
        const bool stop = (at->focusPolicy() & Qt::TabFocus) != 0 && at->isEnabled() &&
                          at->isVisibleTo(window) && at->focusProxy() == nullptr;
        if (stop && (root == window || root->isAncestorOf(at))) {
            stops.append(at);
        }
    }
    return stops;
}

QString describe(const QWidget* widget) {
    return QString::fromLatin1(widget->metaObject()->className()) + QLatin1Char(' ') +
           widget->objectName();
}

}  // namespace

class KeyboardAndReaderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyFocusStopHasAName();
    void everyLinkIsAFocusStopThatOpensFromTheKeyboardAndTheReader();
    void focusFollowsAPaneAReaderChose();
    void aRemovedExceptionHandsTheFocusOn();
};

// A screen reader announces the control the focus lands on by its name: no
// Tab stop of any pane or window is nameless, and the cells of the rules list
// that a reader can move to are named too.
void KeyboardAndReaderTest::everyFocusStopHasAName() {
    Fixture f;
    f.copyAndPoll("https://shop.example/item?id=7&utm_source=news");
    f.state->exceptionStore()->disable("shop.example");
    for (const char* pane :
         {"Status", "Settings", "Privacy Redirects", "Rules", "Exceptions", "Stats", "Advanced"}) {
        SettingsWindow* window = f.settingsOn(pane);
        QVERIFY2(window != nullptr, pane);
        const QList<QWidget*> stops = focusStops(window);
        QWidget* shown = window->paneWidget(window->currentPane());
        QVERIFY2(std::any_of(stops.begin(), stops.end(),
                             [shown](QWidget* stop) { return shown->isAncestorOf(stop); }),
                 pane);
        for (QWidget* stop : stops) {
            QVERIFY2(!testing::accessibleName(testing::accessibleOf(stop)).isEmpty(),
                     qPrintable(QString::fromLatin1(pane) + QStringLiteral(": ") + describe(stop)));
        }
    }
    for (std::string_view id : {kWelcomeWindowId, kReportWindowId}) {
        QVERIFY(f.windows->showWindow(id));
        for (QWidget* stop : focusStops(f.windows->existingWindow(id))) {
            QVERIFY2(!testing::accessibleName(testing::accessibleOf(stop)).isEmpty(),
                     qPrintable(describe(stop)));
        }
    }

    QVERIFY(f.settingsOn("Rules") != nullptr);
    auto* rules = f.windows->existingWindow(kSettingsWindowId)
                      ->findChild<QTreeView*>(QStringLiteral("rules-list"));
    rules->expandAll();
    int cells = 0;
    QStringList unnamed;
    testing::walkAccessible(testing::accessibleOf(rules), [&](QAccessibleInterface* node) {
        if (node->role() == QAccessible::Cell || node->role() == QAccessible::TreeItem) {
            ++cells;
            if (node->state().focusable && testing::accessibleName(node).isEmpty()) {
                const QAccessibleTableCellInterface* cell = node->tableCellInterface();
                unnamed << QStringLiteral("row %1, column %2")
                               .arg(cell->rowIndex())
                               .arg(cell->columnIndex());
            }
        }
    });
    QCOMPARE(unnamed, QStringList());
    QVERIFY(cells > 20);
}

// Each link of the panes: reached with Tab, read as a link by its title, and
// opened through its opener with Enter, with Space and by the reader's first
// action (the one it runs when asked to activate).
void KeyboardAndReaderTest::everyLinkIsAFocusStopThatOpensFromTheKeyboardAndTheReader() {
    const struct {
        const char* pane;
        const char* name;
        const char* title;
        std::string url;
    } links[] = {
        {"Status", "tracking-methodology-link", "How we classify tracking",
         std::string(kTrackingMethodologyURL)},
        {"Stats", "tracking-methodology-link", "How we classify tracking",
         std::string(kTrackingMethodologyURL)},
        {"Settings", "general-x-profile", "Morrow Gate on X",
         std::string(general_settings::kXProfileURL)},
        {"Privacy Redirects", "reddit-redlib-link", "What is Redlib?",
         PrivacyRedirectsModel::redlibURL()},
        {"Privacy Redirects", "x-redirect-privacy-policy", "TwitterViewer privacy policy",
         XRedirectSettingsModel::privacyPolicyURL()},
    };
    Fixture f;
    f.defaults->setString(PrivacyRedirectSettings::xRedirectChoiceKey, "twitterViewer");
    f.copyAndPoll("https://shop.example/item?id=7&utm_source=news");
    for (const auto& link : links) {
        SettingsWindow* window = f.settingsOn(link.pane);
        QVERIFY2(window != nullptr, link.pane);
        QWidget* pane = window->paneWidget(paneFromStored(std::string(link.pane)));
        auto* button = pane->findChild<LinkButton*>(QString::fromLatin1(link.name));
        QVERIFY2(button != nullptr, link.name);

        tabOf(window, link.pane)->setFocus(Qt::TabFocusReason);
        QVERIFY2(tabTo(button), link.name);
        QAccessibleInterface* read = testing::accessibleOf(button);
        QCOMPARE(read->role(), QAccessible::Link);
        QCOMPARE(testing::accessibleName(read), QString::fromUtf8(link.title));
        QVERIFY(read->state().focused);

        QList<QUrl> opened;
        button->setOpener([&opened](const QUrl& url) {
            opened.append(url);
            return true;
        });
        QTest::keyClick(button, Qt::Key_Return);
        QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(button, Qt::Key_Space);
        const QStringList actions = read->actionInterface()->actionNames();
        QCOMPARE(actions.value(0), QAccessibleActionInterface::pressAction());
        read->actionInterface()->doAction(actions.value(0));
        QCOMPARE(opened.size(), 4);
        for (const QUrl& url : opened) {
            QCOMPARE(url, QUrl(QString::fromStdString(link.url)));
        }
        // Other keys do nothing.
        QTest::keyClick(button, Qt::Key_Return, Qt::ControlModifier);
        QTest::keyClick(button, Qt::Key_A);
        QCOMPARE(opened.size(), 4);
    }
}

// A reader checks another tab with its toggle action while the keyboard focus
// is on the tab it leaves: the focus moves to the tab of the pane shown, so
// that the next Tab goes into that pane, not back into the one that went; and
// the tab Tab stops at is always the one of the pane shown.
void KeyboardAndReaderTest::focusFollowsAPaneAReaderChose() {
    Fixture f;
    SettingsWindow* window = f.settingsOn("Status");
    QVERIFY(window != nullptr);
    QToolButton* status = tabOf(window, "Status");
    status->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), status);

    for (const char* chosen : {"Stats", "Privacy Redirects", "Advanced"}) {
        QAccessibleInterface* tab = testing::accessibleOf(tabOf(window, chosen));
        tab->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QCoreApplication::processEvents();
        QCOMPARE(window->currentPane(), paneFromStored(std::string(chosen)));
        QCOMPARE(QApplication::focusWidget(), tabOf(window, chosen));
        QVERIFY(tab->state().focused);
    }
    // Onward from the tab: past the other tabs, into the pane shown.
    QWidget* shown = window->paneWidget(SettingsPane::advanced);
    for (int step = 0; step < 10 && !shown->isAncestorOf(QApplication::focusWidget()); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QVERIFY(shown->isAncestorOf(QApplication::focusWidget()));

    // Chosen with the focus in the pane, the focus stays in the pane shown,
    // and Tab stops at the new tab, not at the one last focused.
    testing::accessibleOf(tabOf(window, "Exceptions"))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::toggleAction());
    QCoreApplication::processEvents();
    QVERIFY(window->paneWidget(SettingsPane::exceptions)->isAncestorOf(QApplication::focusWidget()));
    QStringList tabStops;
    for (QWidget* stop : focusStops(window)) {
        if (stop->objectName().startsWith(QStringLiteral("settings-tab-"))) {
            tabStops << stop->objectName();
        }
    }
    QCOMPARE(tabStops, QStringList{QStringLiteral("settings-tab-Exceptions")});

    // A click on a tab leaves the focus where the keyboard put it.
    QTest::mouseClick(tabOf(window, "Rules"), Qt::LeftButton);
    QCOMPARE(window->currentPane(), SettingsPane::rules);
    QVERIFY(!tabOf(window, "Rules")->hasFocus());
}

// Removing an exception with Space: the focus goes to the same button of the
// next row, of the previous row when the last one went, and to the empty
// list's place when none is left; never to the tabs.
void KeyboardAndReaderTest::aRemovedExceptionHandsTheFocusOn() {
    Fixture f;
    for (const char* host : {"a.example", "b.example", "c.example"}) {
        f.state->exceptionStore()->disable(host);
    }
    SettingsWindow* window = f.settingsOn("Exceptions");
    QVERIFY(window != nullptr);
    auto* list = window->findChild<QListWidget*>(QStringLiteral("exceptions-list"));
    QTRY_COMPARE(list->count(), 3);
    const auto removeButton = [list](int row) {
        return list->itemWidget(list->item(row))
            ->findChild<QToolButton*>(QStringLiteral("exception-remove"));
    };
    const auto focusedName = [] {
        return testing::accessibleName(testing::accessibleOf(QApplication::focusWidget()));
    };

    const struct {
        int removedRow;
        const char* focusAfter;  // the accessible name of the focus widget after
        int rowsLeft;
    } steps[] = {
        {1, "Re-enable cleaning for c.example", 2},  // the next row
        {1, "Re-enable cleaning for a.example", 1},  // the last row went: the previous
        {0, "No site exceptions yet", 0},            // none left: the empty list's place
    };
    for (const auto& step : steps) {
        QToolButton* remove = removeButton(step.removedRow);
        remove->setFocus(Qt::TabFocusReason);
        QTest::keyClick(remove, Qt::Key_Space);
        QTRY_COMPARE(list->count(), step.rowsLeft);
        QCoreApplication::processEvents();
        QCOMPARE(focusedName(), QString::fromUtf8(step.focusAfter));
        QVERIFY(window->paneWidget(SettingsPane::exceptions)
                    ->isAncestorOf(QApplication::focusWidget()));
    }
    QVERIFY(f.state->exceptionStore()->disabledDomains().empty());
    // Read as the pane's part, not as a window of its own.
    QCOMPARE(testing::accessibleOf(QApplication::focusWidget())->role(), QAccessible::Client);
}

SCOURLET_QT_TEST(KeyboardAndReaderTest);

}  // namespace scourlet::app

#include "KeyboardAndReaderTest.moc"

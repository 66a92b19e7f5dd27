// The settings window: the stored pane, tabs only for built panes, panes made
// on first selection, following the stored key while open, wrapping tabs.
#include <memory>
#include <vector>

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>

#include "AccessibleTree.h"
#include "QtTestMain.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "app/settings/SettingsWindow.h"
#include "app/shell/WindowIds.h"

namespace scourlet::app {

namespace {

class FakePage final : public SettingsPage {
public:
    FakePage(SettingsPane pane, int& made) : pane_(pane), made_(made) {}
    SettingsPane pane() const override { return pane_; }
    QWidget* createWidget(QWidget* parent) override {
        ++made_;
        auto* widget = new QLabel(QString::fromUtf8(rawValue(pane_).data()), parent);
        widget->setObjectName(QStringLiteral("fake-pane"));
        return widget;
    }

private:
    SettingsPane pane_;
    int& made_;
};

std::vector<std::unique_ptr<SettingsPage>> pagesFor(std::initializer_list<SettingsPane> panes, int& made) {
    std::vector<std::unique_ptr<SettingsPage>> pages;
    for (SettingsPane pane : panes) {
        pages.push_back(std::make_unique<FakePage>(pane, made));
    }
    return pages;
}

QToolButton* tab(QWidget& window, const char* title) {
    return window.findChild<QToolButton*>(QStringLiteral("settings-tab-") + QString::fromUtf8(title));
}

const std::initializer_list<SettingsPane> kAllPanes = {
    SettingsPane::status, SettingsPane::settings, SettingsPane::privacyRedirects, SettingsPane::rules,
    SettingsPane::exceptions, SettingsPane::stats, SettingsPane::advanced};

}  // namespace

class SettingsWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void storedValueChoosesTheOpeningPane_data();
    void storedValueChoosesTheOpeningPane();
    void onlyBuiltPanesHaveTabsAndAreMadeOnce();
    void clickingATabStoresItsPane();
    void assistiveToolsChooseATabByCheckingIt();
    void anOpenWindowFollowsTheStoredKey();
    void onlyPrivacyRedirectsSitsInTheWindowsScrollArea();
    void privacyRedirectsScrollBarShowsOnlyWhenTheContentOverflows();
    void tabsWrapIntoFourAndThree();
};

void SettingsWindowTest::storedValueChoosesTheOpeningPane_data() {
    QTest::addColumn<QString>("stored");  // "<none>": no value stored
    QTest::addColumn<QString>("shown");
    QTest::newRow("nothing stored") << "<none>" << "Status";
    QTest::newRow("lower-case status") << "status" << "Status";
    QTest::newRow("unknown pane") << "Colours" << "Status";
    QTest::newRow("a built pane") << "Stats" << "Stats";
    QTest::newRow("a pane not built yet") << "Advanced" << "Status";
}

void SettingsWindowTest::storedValueChoosesTheOpeningPane() {
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    auto defaults = std::make_shared<InMemoryUserDefaults>();
    if (stored != QStringLiteral("<none>")) {
        defaults->setString(kSelectedSettingsPaneKey, stored.toStdString());
    }
    int made = 0;
    SettingsWindow window(defaults, pagesFor({SettingsPane::status, SettingsPane::exceptions,
                                              SettingsPane::stats}, made));
    QCOMPARE(QString::fromUtf8(rawValue(window.currentPane()).data()), shown);
    QVERIFY(tab(window, shown.toUtf8().constData())->isChecked());
    QCOMPARE(made, 1);
    // Showing a pane writes nothing: the stored value stays until a tab is clicked.
    QCOMPARE(defaults->stringForKey(kSelectedSettingsPaneKey),
             stored == QStringLiteral("<none>") ? std::nullopt
                                                : std::optional<std::string>(stored.toStdString()));
}

void SettingsWindowTest::onlyBuiltPanesHaveTabsAndAreMadeOnce() {
    auto defaults = std::make_shared<InMemoryUserDefaults>();
    int made = 0;
    SettingsWindow window(defaults, pagesFor({SettingsPane::status, SettingsPane::stats}, made));
    QVERIFY(tab(window, "Status") != nullptr);
    QVERIFY(tab(window, "Stats") != nullptr);
    QVERIFY(tab(window, "Rules") == nullptr);
    QVERIFY(tab(window, "Advanced") == nullptr);
    QCOMPARE(made, 1);
    QVERIFY(window.paneWidget(SettingsPane::stats) == nullptr);
    tab(window, "Stats")->click();
    tab(window, "Status")->click();
    tab(window, "Stats")->click();
    QCOMPARE(made, 2);
    QCOMPARE(tab(window, "Status")->accessibleName(), QStringLiteral("Status"));
}

void SettingsWindowTest::clickingATabStoresItsPane() {
    auto defaults = std::make_shared<InMemoryUserDefaults>();
    defaults->setString(kSelectedSettingsPaneKey, "status");
    int made = 0;
    SettingsWindow window(defaults, pagesFor({SettingsPane::status, SettingsPane::stats}, made));
    tab(window, "Status")->click();
    QCOMPARE(defaults->stringForKey(kSelectedSettingsPaneKey), "Status");
    QCOMPARE(window.currentPane(), SettingsPane::status);
    tab(window, "Stats")->click();
    QCOMPARE(defaults->stringForKey(kSelectedSettingsPaneKey), "Stats");
    auto* stack = window.findChild<QStackedWidget*>(QStringLiteral("settings-pages"));
    QCOMPARE(stack->currentWidget(), window.paneWidget(SettingsPane::stats));
}

// A screen reader offers a tab's toggle action, which checks the tab without a
// click: the pane follows and is stored as a click would store it.
void SettingsWindowTest::assistiveToolsChooseATabByCheckingIt() {
    auto defaults = std::make_shared<InMemoryUserDefaults>();
    int made = 0;
    SettingsWindow window(defaults, pagesFor(kAllPanes, made));
    QAccessibleInterface* stats = testing::accessibleOf(tab(window, "Stats"));
    QCOMPARE(testing::accessibleName(stats), QStringLiteral("Stats"));
    QVERIFY(stats->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::toggleAction()));
    stats->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QCOMPARE(window.currentPane(), SettingsPane::stats);
    QCOMPARE(defaults->stringForKey(kSelectedSettingsPaneKey), "Stats");
    auto* stack = window.findChild<QStackedWidget*>(QStringLiteral("settings-pages"));
    QCOMPARE(stack->currentWidget(), window.paneWidget(SettingsPane::stats));
}

void SettingsWindowTest::anOpenWindowFollowsTheStoredKey() {
    auto defaults = std::make_shared<InMemoryUserDefaults>();
    int made = 0;
    SettingsWindow window(defaults, pagesFor(kAllPanes, made));
    window.show();
    defaults->setString(kSelectedSettingsPaneKey, std::string(kPrivacyRedirectsPane));
    QTRY_COMPARE(window.currentPane(), SettingsPane::privacyRedirects);
    QVERIFY(tab(window, "Privacy Redirects")->isChecked());
    defaults->setString(kSelectedSettingsPaneKey, "nonsense");
    QTRY_COMPARE(window.currentPane(), SettingsPane::status);
    // Following the key is no choice of the user's: it stays as written.
    QCOMPARE(defaults->stringForKey(kSelectedSettingsPaneKey), "nonsense");
}

void SettingsWindowTest::onlyPrivacyRedirectsSitsInTheWindowsScrollArea() {
    auto defaults = std::make_shared<InMemoryUserDefaults>();
    int made = 0;
    SettingsWindow window(defaults, pagesFor(kAllPanes, made));
    for (const char* title : {"Privacy Redirects", "Rules", "Stats"}) {
        tab(window, title)->click();
    }
    QVERIFY(qobject_cast<QScrollArea*>(window.paneWidget(SettingsPane::privacyRedirects)) != nullptr);
    QVERIFY(qobject_cast<QScrollArea*>(window.paneWidget(SettingsPane::rules)) == nullptr);
    QVERIFY(qobject_cast<QLabel*>(window.paneWidget(SettingsPane::stats)) != nullptr);
}

void SettingsWindowTest::privacyRedirectsScrollBarShowsOnlyWhenTheContentOverflows() {
    auto defaults = std::make_shared<InMemoryUserDefaults>();
    defaults->setString(kSelectedSettingsPaneKey, std::string(kPrivacyRedirectsPane));
    int made = 0;
    SettingsWindow window(defaults, pagesFor(kAllPanes, made));
    window.resize(960, 640);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* scroll = qobject_cast<QScrollArea*>(window.paneWidget(SettingsPane::privacyRedirects));
    QTRY_VERIFY(!scroll->verticalScrollBar()->isVisible());
    scroll->widget()->setMinimumHeight(2000);
    QTRY_VERIFY(scroll->verticalScrollBar()->isVisible());
}

void SettingsWindowTest::tabsWrapIntoFourAndThree() {
    auto defaults = std::make_shared<InMemoryUserDefaults>();
    int made = 0;
    SettingsWindow window(defaults, pagesFor(kAllPanes, made));
    window.resize(1400, 640);
    window.show();
    QTRY_VERIFY(!window.tabsWrapped());
    const int row = tab(window, "Status")->y();
    QCOMPARE(tab(window, "Advanced")->y(), row);

    window.resize(720, 640);
    QTRY_VERIFY(window.tabsWrapped());
    QTRY_VERIFY(tab(window, "Exceptions")->y() > row);
    for (const char* first : {"Settings", "Privacy Redirects", "Rules"}) {
        QCOMPARE(tab(window, first)->y(), tab(window, "Status")->y());
    }
    for (const char* second : {"Stats", "Advanced"}) {
        QCOMPARE(tab(window, second)->y(), tab(window, "Exceptions")->y());
    }
    QVERIFY(tab(window, "Exceptions")->x() < tab(window, "Stats")->x());
    QVERIFY(tab(window, "Stats")->x() < tab(window, "Advanced")->x());
}

SCOURLET_QT_TEST(SettingsWindowTest);

}  // namespace scourlet::app

#include "SettingsWindowTest.moc"

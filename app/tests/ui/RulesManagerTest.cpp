// The "Rules" pane and its add-rule dialog, driven through their widgets: the
// search with its clear button, open sections through searches, the row and
// category switches, deleting custom rules, the dialog's closed "Add", and
// the import, export and reset of the "More rule actions" menu.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include "QtTestMain.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "app/settings/AddCustomRuleDialog.h"
#include "app/settings/RulesManagerPane.h"
#include "app/settings/RulesPage.h"
#include "app/settings/SettingsWindow.h"
#include "app/shell/WindowIds.h"
#include "support/TempDir.h"

namespace scourlet::app {

namespace {

namespace fs = std::filesystem;

// Two analytics providers share the rule "sid". (No raw string: moc reads this file.)
constexpr const char* kProviders =
    "{\"providers\": {"
    "\"example\": {\"urlPattern\": \"^https?://example\\\\.com\", \"rules\": [\"Tracking_Code\", \"sid\"]},"
    "\"other\": {\"urlPattern\": \"^https?://other\\\\.example\", \"rules\": [\"sid\"]},"
    "\"facebook\": {\"urlPattern\": \"^https?://facebook\\\\.com\", \"rules\": [\"fb_ref\"]}}}";

class ScriptedSaver final : public FileSaver {
public:
    std::optional<QString> target;
    std::vector<QString> errors;
    Request lastRequest;

protected:
    std::optional<QString> chooseTarget(QWidget*, const Request& request) override {
        lastRequest = request;
        return target;
    }
    void reportError(QWidget*, const QString& message) override { errors.push_back(message); }
};

class ScriptedPrompts final : public RulesManagerPrompts {
public:
    std::optional<QString> importFile;
    bool resetAnswer = false;
    int resetQuestions = 0;
    std::vector<QString> errors;

    std::optional<QString> chooseImportFile(QWidget*) override { return importFile; }
    bool confirmReset(QWidget*) override {
        ++resetQuestions;
        return resetAnswer;
    }
    void reportImportError(QWidget*, const QString& message) override { errors.push_back(message); }
};

QString qpath(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// A pane over an engine with the rules above, shown so that rows have places.
struct Fixture {
    Fixture() {
        engine->loadRules(kProviders);
        pane.resize(720, 900);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        QCoreApplication::processEvents();  // the model reads the loaded rules
    }

    RuleCategory& category(RuleCategoryType type) const {
        return *engine->categories.get()[static_cast<std::size_t>(type)];
    }
    QTreeView* list() const { return pane.list(); }
    RulesTreeModel* model() const { return pane.model(); }
    QModelIndex header(const char* id) const { return model()->categoryIndex(id); }
    QAction* action(const char* name) const { return pane.findChild<QAction*>(QString::fromLatin1(name)); }

    // Where a click switches the row's check box.
    QPoint checkPoint(const QModelIndex& index) const {
        QStyleOptionViewItem option;
        option.initFrom(list());
        option.rect = list()->visualRect(index);
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
        return list()->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list()).center();
    }
    void clickCheck(const QModelIndex& index) const {
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, checkPoint(index));
    }
    void clickDelete(const QModelIndex& ruleRow) const {
        const QModelIndex cell = ruleRow.siblingAtColumn(RulesTreeModel::deleteColumn);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualRect(cell).center());
    }

    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<RulesEngine> engine = std::make_shared<RulesEngine>(defaults, nullptr);
    std::shared_ptr<ScriptedSaver> saver = std::make_shared<ScriptedSaver>();
    std::shared_ptr<ScriptedPrompts> prompts = std::make_shared<ScriptedPrompts>();
    RulesManagerPane pane{engine, saver, prompts};
};

AddCustomRuleDialog* openDialog(RulesManagerPane& pane) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // closed dialogs go
    pane.findChild<QPushButton*>(QStringLiteral("rules-add"))->click();
    for (auto* dialog : pane.findChildren<AddCustomRuleDialog*>()) {
        if (dialog->isVisible()) {
            return dialog;
        }
    }
    return nullptr;
}

}  // namespace

class RulesManagerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theRulesTabShowsThePane();
    void searchFiltersAndTheClearButtonComesAndGoes();
    void openSectionsStayOpenThroughSearches();
    void rowSwitchesFollowTheirIdAndLockWithTheirCategory();
    void onlyCustomRulesHaveADeleteAction();
    void sectionChevronsSpeakThroughAccessibility();
    void customRulesDeleteByKeyAndByAccessibleAction();
    void addDialogIsClosedForEmptyOrListedPatterns();
    void addDialogTrimsAndStartsEmptyEachTime();
    void importTellsWhatWentWrongAndChangesNothing();
    void exportWritesTheRulesOrSaysWhyNot();
    void resetAsksFirst();
};

void RulesManagerTest::theRulesTabShowsThePane() {
    auto defaults = std::make_shared<InMemoryUserDefaults>();
    auto engine = std::make_shared<RulesEngine>(defaults, nullptr);
    engine->loadRules(kProviders);
    defaults->setString(kSelectedSettingsPaneKey, "Rules");
    std::vector<std::unique_ptr<SettingsPage>> pages;
    pages.push_back(std::make_unique<RulesPage>(engine, std::make_shared<ScriptedSaver>()));
    SettingsWindow window(defaults, std::move(pages));
    QCOMPARE(window.currentPane(), SettingsPane::rules);
    QVERIFY(window.findChild<QToolButton*>(QStringLiteral("settings-tab-Rules")) != nullptr);
    auto* pane = qobject_cast<RulesManagerPane*>(window.paneWidget(SettingsPane::rules));
    QVERIFY(pane != nullptr);
    QCOMPARE(pane->objectName(), QStringLiteral("rules-pane"));
    QCOMPARE(pane->model()->rowCount(), 8);
}

void RulesManagerTest::searchFiltersAndTheClearButtonComesAndGoes() {
    Fixture f;
    auto* search = f.pane.findChild<QLineEdit*>(QStringLiteral("rules-search"));
    auto* clear = f.pane.findChild<QToolButton*>(QStringLiteral("rules-search-clear"));
    QCOMPARE(search->placeholderText(), QStringLiteral("Search rules\u2026"));
    QCOMPARE(clear->accessibleName(), QStringLiteral("Clear rule search"));
    QVERIFY(!clear->isVisible());

    QTest::keyClicks(search, QStringLiteral("F"));
    QVERIFY(clear->isVisible());
    QTest::keyClicks(search, QStringLiteral("BCLID"));
    QCOMPARE(f.model()->rowCount(), 1);
    QCOMPARE(f.model()->index(0, 0).data().toString(), QStringLiteral("Social Media"));

    clear->click();
    QCOMPARE(search->text(), QString());
    QVERIFY(!clear->isVisible());
    QCOMPARE(f.model()->rowCount(), 8);
    QCOMPARE(f.pane.findChild<QToolButton*>(QStringLiteral("rules-more"))->accessibleName(),
             QStringLiteral("More rule actions"));
}

void RulesManagerTest::openSectionsStayOpenThroughSearches() {
    Fixture f;
    for (int row = 0; row < f.model()->rowCount(); ++row) {
        QVERIFY(!f.list()->isExpanded(f.model()->index(row, 0)));
    }
    f.list()->expand(f.header("Analytics"));
    QVERIFY(f.model()->isExpanded("Analytics"));
    auto* search = f.pane.findChild<QLineEdit*>(QStringLiteral("rules-search"));
    search->setText(QStringLiteral("sid"));
    QVERIFY(f.list()->isExpanded(f.header("Analytics")));
    QCOMPARE(f.model()->rowCount(f.header("Analytics")), 2);
    // Kept for its title alone: open, without rows.
    search->setText(QStringLiteral("analytics"));
    QVERIFY(f.list()->isExpanded(f.header("Analytics")));
    QCOMPARE(f.model()->rowCount(f.header("Analytics")), 0);
    search->clear();
    QVERIFY(f.list()->isExpanded(f.header("Analytics")));
    QVERIFY(!f.list()->isExpanded(f.header("Social Media")));

    // Opening from the model (the chevron's action) opens the view's section too.
    f.model()->toggleExpanded("Social Media");
    QVERIFY(f.list()->isExpanded(f.header("Social Media")));
}

void RulesManagerTest::rowSwitchesFollowTheirIdAndLockWithTheirCategory() {
    Fixture f;
    f.list()->expand(f.header("Analytics"));
    const QModelIndex analytics = f.header("Analytics");
    std::vector<QModelIndex> sids;
    for (int row = 0; row < f.model()->rowCount(analytics); ++row) {
        const QModelIndex index = f.model()->index(row, 0, analytics);
        if (index.data(RulesTreeModel::RuleIDRole).toString() == QStringLiteral("Analytics:sid")) {
            sids.push_back(index);
        }
    }
    QCOMPARE(sids.size(), 2u);
    f.clickCheck(sids[1]);  // the second row of the id
    for (const auto& entry : f.category(RuleCategoryType::analytics).rules()) {
        if (entry->id() == "Analytics:sid") {
            QVERIFY(!entry->isEnabled());
        }
    }
    auto restarted = std::make_shared<RulesEngine>(f.defaults, nullptr);
    restarted->loadRules(kProviders);
    QVERIFY(!restarted->isRuleEnabled("Analytics:sid", RuleCategoryType::analytics));

    // The category off: the rows keep their switches but take no clicks.
    f.clickCheck(analytics);
    QVERIFY(!f.category(RuleCategoryType::analytics).isEnabled());
    const QModelIndex first = f.model()->index(0, 0, analytics);
    f.clickCheck(first);
    QVERIFY(f.category(RuleCategoryType::analytics).rules()[0]->isEnabled());
    QCOMPARE(first.data(Qt::AccessibleDescriptionRole).toString(),
             QStringLiteral("The Analytics category is disabled."));
    f.clickCheck(analytics);
    f.clickCheck(first);
    QVERIFY(!f.category(RuleCategoryType::analytics).rules()[0]->isEnabled());
}

void RulesManagerTest::onlyCustomRulesHaveADeleteAction() {
    Fixture f;
    f.engine->addCustomRule("mine", "Mine", RuleCategoryType::analytics);
    QCoreApplication::processEvents();
    f.list()->expand(f.header("Analytics"));
    const int count = f.model()->rowCount(f.header("Analytics"));
    f.clickDelete(f.model()->index(0, 0, f.header("Analytics")));
    QCoreApplication::processEvents();
    QCOMPARE(f.model()->rowCount(f.header("Analytics")), count);

    // Even while the category is off.
    f.category(RuleCategoryType::analytics).setIsEnabled(false);
    QCoreApplication::processEvents();
    f.clickDelete(f.model()->index(count - 1, 0, f.header("Analytics")));
    QCoreApplication::processEvents();
    QCOMPARE(f.model()->rowCount(f.header("Analytics")), count - 1);
    QVERIFY(f.category(RuleCategoryType::analytics).entryWithID("Analytics:mine") == nullptr);
}

// What a screen reader finds for a section's chevron, and what pressing it does.
void RulesManagerTest::sectionChevronsSpeakThroughAccessibility() {
    Fixture f;
    const auto chevron = [&f](const char* title) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the buttons of an earlier list
        auto* widget = f.pane.findChild<QWidget*>(QStringLiteral("rules-chevron-") + QLatin1String(title));
        return widget != nullptr ? QAccessible::queryAccessibleInterface(widget) : nullptr;
    };
    const auto expectState = [&](const char* title, bool expanded) {
        QAccessibleInterface* a = chevron(title);
        QVERIFY2(a != nullptr, title);
        const QString word = expanded ? QStringLiteral("Collapse ") : QStringLiteral("Expand ");
        QCOMPARE(a->role(), QAccessible::Button);
        QCOMPARE(a->text(QAccessible::Name), word + QLatin1String(title) + QStringLiteral(" rules"));
        QCOMPARE(a->text(QAccessible::Value),
                 expanded ? QStringLiteral("Expanded") : QStringLiteral("Collapsed"));
        QCOMPARE(bool(a->state().expanded), expanded);
        QCOMPARE(bool(a->state().collapsed), !expanded);
        QCOMPARE(f.list()->isExpanded(f.header(title)), expanded);
        // Tools that walk the list's cells find the same words in the row.
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(f.list());
        bool listed = false;
        for (int i = 0; i < list->childCount() && !listed; ++i) {
            QAccessibleInterface* cell = list->child(i);
            listed = cell->text(QAccessible::Name) == a->text(QAccessible::Name) &&
                     cell->text(QAccessible::Description) == a->text(QAccessible::Value);
        }
        QVERIFY2(listed, title);
    };
    for (int row = 0; row < f.model()->rowCount(); ++row) {
        expectState(qPrintable(f.model()->index(row, 0).data().toString()), false);
    }
    // Where the branch arrow would be: before the row's switch.
    QWidget* analytics = f.pane.findChild<QWidget*>(QStringLiteral("rules-chevron-Analytics"));
    QVERIFY(analytics->isVisible());
    QVERIFY(analytics->geometry().right() < f.list()->visualRect(f.header("Analytics")).left());

    // The press action opens and closes the section.
    QAccessibleInterface* a = chevron("Analytics");
    QVERIFY(a->actionInterface() != nullptr);
    QVERIFY(a->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    expectState("Analytics", true);
    // The list's own keys keep the chevron in step.
    f.list()->setCurrentIndex(f.header("Analytics"));
    QTest::keyClick(f.list(), Qt::Key_Left);
    expectState("Analytics", false);
    QTest::keyClick(f.list(), Qt::Key_Right);
    expectState("Analytics", true);
    // And so does a search, which lists the sections anew.
    f.pane.findChild<QLineEdit*>(QStringLiteral("rules-search"))->setText(QStringLiteral("a"));
    QCoreApplication::processEvents();
    expectState("Analytics", true);
    chevron("Analytics")->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    expectState("Analytics", false);
}

void RulesManagerTest::customRulesDeleteByKeyAndByAccessibleAction() {
    Fixture f;
    f.engine->addCustomRule("mine", "Mine", RuleCategoryType::analytics);
    f.engine->addCustomRule("yours", "Yours", RuleCategoryType::analytics);
    QCoreApplication::processEvents();
    const auto analytics = [&f] { return f.header("Analytics"); };
    f.list()->expand(analytics());
    const int count = f.model()->rowCount(analytics());
    const auto rowNamed = [&](const QString& name) {
        for (int row = 0; row < f.model()->rowCount(analytics()); ++row) {
            if (f.model()->index(row, 0, analytics()).data().toString() == name) {
                return f.model()->index(row, 0, analytics());
            }
        }
        return QModelIndex();
    };

    // The Delete key on a shipped rule, and on the section itself, changes nothing.
    f.list()->setFocus();
    for (const QModelIndex& row : {f.model()->index(0, 0, analytics()), analytics()}) {
        f.list()->setCurrentIndex(row);
        QTest::keyClick(f.list(), Qt::Key_Delete);
        QCoreApplication::processEvents();
        QCOMPARE(f.model()->rowCount(analytics()), count);
    }
    // On a custom rule it deletes that rule.
    f.list()->setCurrentIndex(rowNamed(QStringLiteral("Mine")));
    QTest::keyClick(f.list(), Qt::Key_Delete);
    QCoreApplication::processEvents();
    QCOMPARE(f.model()->rowCount(analytics()), count - 1);
    QVERIFY(f.category(RuleCategoryType::analytics).entryWithID("Analytics:mine") == nullptr);
    QVERIFY(f.category(RuleCategoryType::analytics).entryWithID("Analytics:yours") != nullptr);

    // Only the remaining custom rule has a delete button, found by its name.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the buttons of an earlier list
    QAccessibleInterface* button = nullptr;
    for (QToolButton* candidate : f.pane.findChildren<QToolButton*>(QStringLiteral("rules-delete"))) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(candidate);
        QCOMPARE(a->text(QAccessible::Name), QStringLiteral("Delete custom rule: Yours"));
        button = a;
    }
    QVERIFY(button != nullptr);
    QCOMPARE(button->role(), QAccessible::Button);
    QCOMPARE(button->text(QAccessible::Description),
             QStringLiteral("Removes this custom rule from Scourlet."));
    button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
    QCOMPARE(f.model()->rowCount(analytics()), count - 2);
    QVERIFY(f.category(RuleCategoryType::analytics).entryWithID("Analytics:yours") == nullptr);
}

void RulesManagerTest::addDialogIsClosedForEmptyOrListedPatterns() {
    Fixture f;
    AddCustomRuleDialog* dialog = openDialog(f.pane);
    QVERIFY(dialog != nullptr);
    auto* pattern = dialog->findChild<QLineEdit*>(QStringLiteral("add-rule-pattern"));
    auto* add = dialog->findChild<QPushButton*>(QStringLiteral("add-rule-add"));
    auto* hint = dialog->findChild<QLabel*>(QStringLiteral("add-rule-hint"));
    auto* category = dialog->findChild<QComboBox*>(QStringLiteral("add-rule-category"));
    QCOMPARE(category->currentText(), QStringLiteral("Custom"));
    QCOMPARE(category->count(), 8);
    QVERIFY(!add->isEnabled());
    const std::size_t before = f.category(RuleCategoryType::custom).rules().size();
    QTest::keyClick(pattern, Qt::Key_Return);
    QVERIFY(dialog->isVisible());

    QTest::keyClicks(pattern, QStringLiteral("   "));
    QVERIFY(!add->isEnabled());
    QVERIFY(!hint->isVisibleTo(dialog));

    pattern->setText(QStringLiteral("fbclid"));
    QVERIFY(add->isEnabled());  // Custom does not list it
    category->setCurrentText(QStringLiteral("Social Media"));
    QVERIFY(!add->isEnabled());
    QVERIFY(hint->isVisibleTo(dialog));
    QCOMPARE(hint->text(), QStringLiteral("This rule already exists in Social Media."));
    QCOMPARE(hint->textFormat(), Qt::PlainText);
    QTest::keyClick(pattern, Qt::Key_Return);
    QVERIFY(dialog->isVisible());

    QTest::keyClick(pattern, Qt::Key_Escape);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(f.category(RuleCategoryType::custom).rules().size(), before);
    QCOMPARE(f.category(RuleCategoryType::socialMedia).entryWithID("Social Media:fbclid")->source(),
             RuleEntry::RuleSource::fallback);
}

void RulesManagerTest::addDialogTrimsAndStartsEmptyEachTime() {
    Fixture f;
    AddCustomRuleDialog* dialog = openDialog(f.pane);
    QVERIFY(dialog != nullptr);
    QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("add-rule-display-name")),
                     QStringLiteral("  "));
    auto* pattern = dialog->findChild<QLineEdit*>(QStringLiteral("add-rule-pattern"));
    QTest::keyClicks(pattern, QStringLiteral(" tracking_id "));
    QTest::keyClick(pattern, Qt::Key_Return);
    QVERIFY(!dialog->isVisible());
    const RuleEntry& added = *f.category(RuleCategoryType::custom).rules().back();
    QCOMPARE(added.id(), std::string("Custom:tracking_id"));
    QCOMPARE(added.displayName(), std::string("tracking_id"));

    // Listed last in its section, with the custom badge and a delete action.
    QCoreApplication::processEvents();
    const QModelIndex custom = f.header("Custom");
    const QModelIndex row = f.model()->index(f.model()->rowCount(custom) - 1, 0, custom);
    QCOMPARE(row.data().toString(), QStringLiteral("tracking_id"));
    QCOMPARE(row.data(RulesTreeModel::BadgeRole).toString(), QStringLiteral("Custom"));
    QVERIFY(row.siblingAtColumn(RulesTreeModel::deleteColumn).flags() & Qt::ItemIsEnabled);

    dialog = openDialog(f.pane);
    QVERIFY(dialog != nullptr);
    QCOMPARE(dialog->findChild<QLineEdit*>(QStringLiteral("add-rule-pattern"))->text(), QString());
    QCOMPARE(dialog->findChild<QLineEdit*>(QStringLiteral("add-rule-display-name"))->text(), QString());
    dialog->findChild<QPushButton*>(QStringLiteral("add-rule-cancel"))->click();
    QVERIFY(!dialog->isVisible());
}

void RulesManagerTest::importTellsWhatWentWrongAndChangesNothing() {
    Fixture f;
    testing::TempDir dir;
    const std::string before = *f.engine->exportRules();
    QAction* import = f.action("rules-import");
    QCOMPARE(import->text(), QStringLiteral("Import Rules\u2026"));

    f.prompts->importFile = std::nullopt;  // cancelled
    import->trigger();
    QVERIFY(f.prompts->errors.empty());

    testing::writeFile(dir / "notes.json", "{\"not\": \"rules\"}");
    f.prompts->importFile = qpath(dir / "notes.json");
    import->trigger();
    QCOMPARE(f.prompts->errors.size(), 1u);
    QCOMPARE(f.prompts->errors.back(), QStringLiteral("This file is not a Scourlet rules export."));

    testing::writeFile(dir / "huge.json", std::string(5 * 1024 * 1024, ' '));
    f.prompts->importFile = qpath(dir / "huge.json");
    import->trigger();
    QCOMPARE(f.prompts->errors.size(), 2u);
    QVERIFY(f.prompts->errors.back().contains(QStringLiteral("larger than 4 MiB")));
    QCOMPARE(*f.engine->exportRules(), before);

    // A real export is taken over silently.
    auto other = std::make_shared<RulesEngine>(std::make_shared<InMemoryUserDefaults>(), nullptr);
    other->loadRules(kProviders);
    other->addCustomRule("shared_rule", "Shared", RuleCategoryType::custom);
    testing::writeFile(dir / "export.json", *other->exportRules());
    f.prompts->importFile = qpath(dir / "export.json");
    import->trigger();
    QCOMPARE(f.prompts->errors.size(), 2u);
    QVERIFY(f.category(RuleCategoryType::custom).entryWithID("Custom:shared_rule") != nullptr);
}

void RulesManagerTest::exportWritesTheRulesOrSaysWhyNot() {
    Fixture f;
    testing::TempDir dir;
    f.engine->addCustomRule("exported", "Exported", RuleCategoryType::custom);
    f.saver->target = qpath(dir / "Scourlet-Rules.json");
    f.action("rules-export")->trigger();
    QVERIFY(f.saver->errors.empty());
    QCOMPARE(f.saver->lastRequest.suggestedName, QStringLiteral("Scourlet-Rules.json"));
    QCOMPARE(f.saver->lastRequest.nameFilter, QStringLiteral("JSON (*.json)"));
    QCOMPARE(f.saver->lastRequest.defaultSuffix, QStringLiteral("json"));
    QCOMPARE(testing::readFile(dir / "Scourlet-Rules.json"), *f.engine->exportRules());

    f.saver->target = qpath(dir / "gone" / "rules.json");
    f.action("rules-export")->trigger();
    QCOMPARE(f.saver->errors.size(), 1u);
    QVERIFY(!fs::exists(dir / "gone"));
}

void RulesManagerTest::resetAsksFirst() {
    Fixture f;
    f.engine->addCustomRule("custom_one", "Custom one", RuleCategoryType::custom);
    f.category(RuleCategoryType::advertising).setIsEnabled(false);
    f.list()->expand(f.header("Custom"));
    auto* search = f.pane.findChild<QLineEdit*>(QStringLiteral("rules-search"));
    search->setText(QStringLiteral("o"));
    QAction* reset = f.action("rules-reset");
    QCOMPARE(reset->text(), QStringLiteral("Reset to Defaults"));

    f.prompts->resetAnswer = false;
    reset->trigger();
    QCOMPARE(f.prompts->resetQuestions, 1);
    QVERIFY(f.category(RuleCategoryType::custom).entryWithID("Custom:custom_one") != nullptr);
    QVERIFY(!f.category(RuleCategoryType::advertising).isEnabled());

    f.prompts->resetAnswer = true;
    reset->trigger();
    QCoreApplication::processEvents();
    QVERIFY(f.category(RuleCategoryType::custom).rules().empty());
    QVERIFY(f.category(RuleCategoryType::advertising).isEnabled());
    // The search and the open sections stay.
    QCOMPARE(search->text(), QStringLiteral("o"));
    QVERIFY(f.model()->isExpanded("Custom"));
}

SCOURLET_QT_TEST(RulesManagerTest);

}  // namespace scourlet::app

#include "RulesManagerTest.moc"

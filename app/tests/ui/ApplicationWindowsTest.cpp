// The application's own windows as the running program registers them: over a
// real AppState on an in-memory clipboard, opened through the window registry
// and the tray menu, with the core's facts in the report.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "AccessibleTree.h"
#include "FakeAppServices.h"
#include "FakeLauncher.h"
#include "OutputCapture.h"
#include "QtTestMain.h"
#include "ScourletCore/config/AppConfiguration.h"
#include "ScourletCore/platform/OperatingSystemVersion.h"
#include "app/menu/TrayMenu.h"
#include "app/report/MissedTrackerReportHost.h"
#include "app/settings/FileSaver.h"
#include "app/settings/RulesManagerPrompts.h"
#include "app/settings/WrappingTextView.h"
#include "app/shell/AppState.h"
#include "app/shell/ApplicationWindows.h"
#include "app/shell/WindowIds.h"
#include "app/shell/WindowManager.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

using namespace std::chrono_literals;

namespace scourlet::app {

namespace {

// The program's set-up, minus the desktop: the windows registered as main() does.
struct Fixture : testing::FakeAppServices {
    Fixture() {
        state = std::make_unique<AppState>(services());
        windows = std::make_unique<WindowManager>(defaults);
        registerApplicationWindows(*windows, *state);
        menu = std::make_unique<TrayMenu>(*state, *windows);
        QCoreApplication::processEvents();
    }
    ~Fixture() {
        // The windows go before the state they read.
        windows.reset();
        menu.reset();
    }

    // Copies `text` as another program would and lets one poll run.
    void copyAndPoll(const std::string& text) {
        pasteboard->copy(text);
        poll();
    }
    void poll() {
        timers->advance(500ms);
        QCoreApplication::processEvents();  // the coalesced change reaches menu and windows
    }
    QWidget* window(std::string_view id) const { return windows->existingWindow(id); }

    std::unique_ptr<AppState> state;
    std::unique_ptr<WindowManager> windows;
    std::unique_ptr<TrayMenu> menu;
};

const std::string kTracked = "https://shop.example/item?id=7&color=red&utm_source=news";
const std::string kClean = "https://shop.example/item?id=7&color=red";

template <class T>
T* child(QWidget* root, const char* name) {
    return root->findChild<T*>(QString::fromLatin1(name));
}

QAbstractScrollArea* scrollAreaAround(QWidget* widget) {
    for (QWidget* up = widget->parentWidget(); up != nullptr; up = up->parentWidget()) {
        if (auto* area = qobject_cast<QAbstractScrollArea*>(up)) {
            return area;
        }
    }
    return nullptr;
}

// One notch of the wheel, away from the user, over the middle of `widget`.
void turnWheelOver(QWidget* widget) {
    const QPointF middle = QRectF(widget->rect()).center();
    QWheelEvent turn(middle, widget->mapToGlobal(middle), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &turn);
}

// Answers the next file dialog with `choose`, noting the folder it opened in.
void answerFileDialog(QString* openedIn, const QString& choose) {
    QTimer::singleShot(0, [openedIn, choose] {
        QTRY_VERIFY(qobject_cast<QFileDialog*>(QApplication::activeModalWidget()) != nullptr);
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        *openedIn = dialog->directory().absolutePath();
        dialog->selectFile(choose);
        static_cast<QDialog*>(dialog)->accept();  // as the Save or Open button does
    });
}

QString previewOf(QWidget* report) {
    return child<QPlainTextEdit>(report, "report-preview")->toPlainText();
}

}  // namespace

class ApplicationWindowsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void menuRowsOpenTheRegisteredWindows();
    void welcomeOpensTheReportOnceALinkWasCleaned();
    void reportNamesTheLoadedProvidersAndTheSystem();
    void copiedReportSurvivesTheNextPoll();
    void emailedReportNeverReachesTheLog();
    void windowsAndTheRulesListReadWithNames();
    void statusPaneShowsTheLastCleanAndCopiesItAsItsOwn();
    void saveDialogAddsTheDefaultSuffix();
    void wheelOverAnUnfocusedPickerScrollsThePane();
    void fileDialogsOpenAtHomeThenWhereTheLastFileWent();
    void reportSaveOpensWhereTheLastExportWent();
    void statsMoveOnToANewDayAtMidnight();
    void exceptionsKeepTheirPlaceWhenSomethingElseIsCopied();
};

void ApplicationWindowsTest::menuRowsOpenTheRegisteredWindows() {
    Fixture f;
    for (std::string_view id : {kSettingsWindowId, kWelcomeWindowId, kReportWindowId}) {
        QVERIFY(f.windows->hasWindow(id));
    }
    f.copyAndPoll(kTracked);
    const struct {
        const char* row;
        std::string_view id;
        const char* objectName;
    } rows[] = {
        {"menu-preferences", kSettingsWindowId, "settings-window"},
        {"menu-welcome", kWelcomeWindowId, "welcome-window"},
        {"menu-report-missed-tracker", kReportWindowId, "report-window"},
    };
    for (const auto& row : rows) {
        QAction* action = f.menu->actionFor(row.row);
        QVERIFY2(action != nullptr, row.row);
        action->trigger();
        QWidget* shown = f.window(row.id);
        QVERIFY2(shown != nullptr && shown->isVisible(), row.row);
        QCOMPARE(shown->objectName(), QString::fromLatin1(row.objectName));
    }
}

void ApplicationWindowsTest::welcomeOpensTheReportOnceALinkWasCleaned() {
    Fixture f;
    QVERIFY(f.windows->showWindow(kWelcomeWindowId));
    auto* report = child<QPushButton>(f.window(kWelcomeWindowId), "welcome-report");
    QVERIFY(!report->isEnabled());  // nothing cleaned yet
    f.copyAndPoll(kTracked);
    QVERIFY(report->isEnabled());
    report->click();
    QWidget* host = f.window(kReportWindowId);
    QVERIFY(host != nullptr && host->isVisible());
    QCOMPARE(child<WrappingTextView>(host, "report-original-url")->text(), QString::fromStdString(kTracked));
}

void ApplicationWindowsTest::reportNamesTheLoadedProvidersAndTheSystem() {
    Fixture f;
    // 2027-01-15 08:00 UTC: the day the rules were last updated.
    f.state->rulesUpdater()->setLastUpdateDate(std::chrono::system_clock::time_point(1'800'000'000s));
    f.copyAndPoll(kTracked);
    QVERIFY(f.windows->showWindow(kReportWindowId));
    const QString preview = previewOf(f.window(kReportWindowId));

    // The count of rule providers loaded, which is not the fixed number of categories.
    const std::size_t providers = f.state->rulesEngine()->compiledProviders().size();
    QVERIFY(providers > f.state->rulesEngine()->categories.get().size());
    QVERIFY2(preview.contains(QStringLiteral("provider_count=%1").arg(providers)),
             qPrintable(preview));
    QVERIFY(preview.contains(QStringLiteral("\"rulesProviderCount\": %1").arg(providers)));
    // The platform, then the system's own line.
    const QString system = QString::fromStdString(OperatingSystemVersion::current());
    QVERIFY(!system.isEmpty());
    QVERIFY2(preview.contains(QStringLiteral("Platform:\nLinux ") + system), qPrintable(preview));
    QVERIFY(preview.contains(QStringLiteral("\"platform\": \"Linux\"")));
    QVERIFY(preview.contains(QString::fromStdString(kClean)));
    // The program's build and the day of the last rule update.
    QVERIFY2(preview.contains(QStringLiteral("last_update=2027-01-15")), qPrintable(preview));
    QVERIFY(preview.contains(QStringLiteral("\"appBuild\": \"%1\"")
                                 .arg(QString::fromUtf8(config::kAppBuild.data(),
                                                        static_cast<qsizetype>(config::kAppBuild.size())))));
}

void ApplicationWindowsTest::copiedReportSurvivesTheNextPoll() {
    Fixture f;
    f.copyAndPoll(kTracked);
    QVERIFY(f.windows->showWindow(kReportWindowId));
    QWidget* host = f.window(kReportWindowId);
    child<QPushButton>(host, "report-copy")->click();
    const std::string copied = f.pasteboard->text().value_or("");
    QCOMPARE(QString::fromStdString(copied), previewOf(host));
    QVERIFY(copied.find(kTracked) != std::string::npos);
    // Written as the monitor's own copy: the trackers the report is about stay.
    f.poll();
    f.poll();
    QCOMPARE(f.pasteboard->text().value_or(""), copied);
    QCOMPARE(f.state->monitor()->cleanedCountToday(), 1);
}

// "Email Report" hands the link (the whole report: links, note, system) to the
// desktop's default mail program; without one the window says so. Either way
// nothing of the report reaches standard error, neither from Qt nor from the
// launcher, which writes what it failed to open there.
void ApplicationWindowsTest::emailedReportNeverReachesTheLog() {
    const std::string entry = "scourlet-test-mail.desktop";
    const struct {
        const char* name;
        const char* mailDefault;  // what xdg-mime answers; null: no xdg-mime at all
        bool entryInstalled;
        bool opens;
    } cases[] = {
        {"no xdg-mime", nullptr, false, false},
        {"no default mail program", "", false, false},
        {"a default that is not installed", entry.c_str(), false, false},
        {"an installed mail program", entry.c_str(), true, true},
    };
    Fixture f;
    f.copyAndPoll(kTracked);
    QVERIFY(f.windows->showWindow(kReportWindowId));
    QWidget* host = f.window(kReportWindowId);
    auto* failed = child<QLabel>(host, "report-mail-failed");
    int round = 0;
    for (const auto& c : cases) {
        testing::TempDir bin;
        testing::TempDir data;
        testing::ScopedEnvironment environment;
        environment.set("PATH", bin.path().string());
        environment.set("XDG_DATA_HOME", (data / "home").string());
        environment.set("XDG_DATA_DIRS", (data / "system").string());
        const std::filesystem::path opened = bin / "opened.txt";
        if (c.mailDefault != nullptr) {
            testing::writeScript(
                bin / "xdg-mime",
                std::string("echo \"xdg-mime: asked $*\" >&2\necho '") + c.mailDefault + "'\n");
        }
        testing::writeScript(
            bin / "xdg-open",
            "printf '%s' \"$1\" > '" + opened.string() +
                "'\necho \"xdg-open: no method available for opening '$1'\" >&2\n");
        if (c.entryInstalled) {
            testing::writeFile(data / "home" / "applications" / entry,
                               "[Desktop Entry]\nType=Application\n");
        }
        const QString note = QStringLiteral("note%1zq").arg(++round);
        child<QPlainTextEdit>(host, "report-note")->setPlainText(note);
        QTest::failOnWarning(QRegularExpression(QRegularExpression::escape(note)));

        testing::OutputCapture log;
        child<QPushButton>(host, "report-email")->click();
        if (c.opens) {
            QTRY_VERIFY2(std::filesystem::exists(opened), c.name);
            QTRY_VERIFY2(testing::readFile(opened).find(note.toStdString()) != std::string::npos,
                         c.name);
            QVERIFY2(testing::readFile(opened).rfind("mailto:", 0) == 0, c.name);
            QTest::qWait(200);  // time for the launcher's own complaint
        }
        QCOMPARE(failed->isVisible(), !c.opens);
        QVERIFY2(std::filesystem::exists(opened) == c.opens, c.name);
        const std::string written = log.text();
        QVERIFY2(written.find(note.toStdString()) == std::string::npos, c.name);
        QVERIFY2(written.find("shop.example") == std::string::npos, c.name);
    }
}

// Through assistive technology each window reads as a window with its title,
// the rules list names its columns, and nothing in the settings or report
// window reads as tooltip markup or with the joiners that keep shown text on
// one line.
void ApplicationWindowsTest::windowsAndTheRulesListReadWithNames() {
    Fixture f;
    f.copyAndPoll(kTracked);
    f.state->exceptionStore()->disable("<i>shop</i>.example");
    for (std::string_view id : {kSettingsWindowId, kWelcomeWindowId, kReportWindowId}) {
        QVERIFY(f.windows->showWindow(id));
        QAccessibleInterface* window = testing::accessibleOf(f.window(id));
        QCOMPARE(window->role(), QAccessible::Window);
        QCOMPARE(testing::accessibleName(window),
                 QString::fromUtf8(describeWindow(id)->title.data()));
    }

    QVERIFY(f.windows->showSettingsPane("Rules"));
    QCoreApplication::processEvents();  // the open window follows the stored pane
    QWidget* settings = f.window(kSettingsWindowId);
    QStringList headers;
    for (QAccessibleInterface* header : testing::descendantsWithRole(
             testing::accessibleOf(child<QTreeView>(settings, "rules-list")),
             QAccessible::ColumnHeader)) {
        headers << testing::accessibleName(header);
    }
    QCOMPARE(headers, (QStringList{QStringLiteral("Rule"), QStringLiteral("Actions")}));

    for (const char* pane :
         {"Status", "Settings", "Privacy Redirects", "Rules", "Exceptions", "Stats", "Advanced"}) {
        QVERIFY(f.windows->showSettingsPane(pane));
        QCoreApplication::processEvents();
    }
    for (std::string_view id : {kSettingsWindowId, kReportWindowId}) {
        testing::walkAccessible(
            testing::accessibleOf(f.window(id)), [&](QAccessibleInterface* node) {
                for (const QString& text :
                     {testing::accessibleName(node), testing::accessibleDescription(node)}) {
                    const bool markup = text.contains(QStringLiteral("<qt>")) ||
                                        text.contains(QStringLiteral("&lt;"));
                    QVERIFY2(!markup && !text.contains(QChar(0x2060)), qPrintable(text));
                }
            });
    }
}

void ApplicationWindowsTest::statusPaneShowsTheLastCleanAndCopiesItAsItsOwn() {
    Fixture f;
    f.copyAndPoll(kTracked);
    QVERIFY(f.windows->showSettingsPane("Status"));
    QWidget* settings = f.window(kSettingsWindowId);
    QVERIFY(settings->isVisible());
    auto* copy = child<QPushButton>(settings, "last-clean-copy");
    QVERIFY(copy != nullptr);
    f.pasteboard->copy("something else");
    copy->click();
    QCOMPARE(f.pasteboard->text().value_or(""), kClean);
    f.poll();
    QCOMPARE(f.pasteboard->text().value_or(""), kClean);
    QCOMPARE(f.state->monitor()->lastCleanedResult()->originalURL, kTracked);
    QCOMPARE(f.state->monitor()->cleanedCountToday(), 1);
}

void ApplicationWindowsTest::saveDialogAddsTheDefaultSuffix() {
    testing::TempDir dir;
    const QString typed = QString::fromStdString((dir / "report").string());
    // The real dialog (Qt's own on the offscreen platform), answered once it is up.
    QTimer::singleShot(0, [&] {
        QTRY_VERIFY(qobject_cast<QFileDialog*>(QApplication::activeModalWidget()) != nullptr);
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        dialog->selectFile(typed);
        static_cast<QDialog*>(dialog)->accept();  // as the Save button does
    });
    FileSaver saver;
    QString written;
    const bool saved = saver.save(nullptr,
                                  {QStringLiteral("Save Report"), QStringLiteral("Report.txt"),
                                   QStringLiteral("Text (*.txt)"), QStringLiteral("txt")},
                                  [&](const QString& path) {
                                      written = path;
                                      return std::optional<std::string>();
                                  });
    QVERIFY(saved);
    QCOMPARE(written, typed + QStringLiteral(".txt"));
}

void ApplicationWindowsTest::wheelOverAnUnfocusedPickerScrollsThePane() {
    Fixture f;
    QVERIFY(f.windows->showSettingsPane("Advanced"));
    QWidget* settings = f.window(kSettingsWindowId);
    settings->resize(720, 560);  // the smallest window: every pane with pickers scrolls
    QVERIFY(QTest::qWaitForWindowExposed(settings));
    int guarded = 0;
    for (const char* pane : {"Status", "Settings", "Privacy Redirects", "Rules", "Exceptions",
                             "Stats", "Advanced"}) {
        QVERIFY(f.windows->showSettingsPane(pane));
        QCoreApplication::processEvents();
        QWidget* shown = child<QStackedWidget>(settings, "settings-pages")->currentWidget();
        QList<QWidget*> pickers;
        for (QComboBox* combo : shown->findChildren<QComboBox*>()) {
            pickers.append(combo);
        }
        for (QAbstractSpinBox* spin : shown->findChildren<QAbstractSpinBox*>()) {
            pickers.append(spin);
        }
        for (QWidget* picker : pickers) {
            if (!picker->isVisible() || !picker->isEnabled()) {
                continue;
            }
            const QString name = QString::fromLatin1(pane) + QLatin1Char('/') + picker->objectName();
            QAbstractScrollArea* area = scrollAreaAround(picker);
            QVERIFY2(area != nullptr, qPrintable(name));
            QScrollBar* bar = area->verticalScrollBar();
            QVERIFY2(bar->maximum() > 0, qPrintable(name));
            bar->setValue(0);
            auto* combo = qobject_cast<QComboBox*>(picker);
            auto* spin = qobject_cast<QAbstractSpinBox*>(picker);
            if (combo != nullptr) {
                combo->setCurrentIndex(0);  // the wheel away from the user moves to the next row
            }
            const QString before = combo != nullptr ? combo->currentText() : spin->text();
            QSignalSpy activated(picker, SIGNAL(activated(int)));
            turnWheelOver(picker);
            QCoreApplication::processEvents();
            QCOMPARE((combo != nullptr ? combo->currentText() : spin->text()), before);
            if (combo != nullptr) {
                QVERIFY2(activated.isEmpty(), qPrintable(name));
            }
            QVERIFY2(!picker->hasFocus(), qPrintable(name));
            QVERIFY2(bar->value() > 0, qPrintable(name));  // the pane scrolled instead
            // ...and its content with the scroll bar, not apart from it.
            if (auto* scroll = qobject_cast<QScrollArea*>(area)) {
                QCOMPARE(scroll->widget()->y(), -bar->value());
            }
            ++guarded;
        }
    }
    QVERIFY(guarded > 0);  // the pickers were reached at all
    // The one that switches on network checks and installs stayed off.
    QCOMPARE(f.state->rulesUpdater()->automaticUpdateCadence(), RuleUpdateCadence::never);

    // With focus the picker takes the wheel as before.
    QVERIFY(f.windows->showSettingsPane("Advanced"));
    auto* cadence = child<QComboBox>(settings, "update-setting-rule-cadence");
    cadence->setFocus();
    QTRY_VERIFY(cadence->hasFocus());
    turnWheelOver(cadence);
    QCOMPARE(f.state->rulesUpdater()->automaticUpdateCadence(), RuleUpdateCadence::daily);
}

// The save dialogs (rules export, statistics, report) and the rules import
// open in the home folder, not the program's working folder, and then where
// the user last chose a file.
void ApplicationWindowsTest::fileDialogsOpenAtHomeThenWhereTheLastFileWent() {
    const QString home = QDir(QDir::homePath()).absolutePath();
    QVERIFY(QDir::currentPath() != home);
    testing::TempDir dir;
    const QString elsewhere = QString::fromStdString(dir.path().string());
    const QString picked = elsewhere + QStringLiteral("/picked.json");
    testing::writeFile(dir / "picked.json", "{}");

    FileSaver saver;
    const auto save = [&saver] {
        return saver.save(nullptr,
                          {QStringLiteral("Export Rules"), QStringLiteral("Scourlet-Rules.json"),
                           QStringLiteral("JSON (*.json)"), QStringLiteral("json")},
                          [](const QString&) { return std::optional<std::string>(); });
    };
    RulesManagerPrompts prompts;
    const struct {
        const char* name;
        std::function<bool()> open;
        QString choose;  // a new file to save, an existing one to import
    } dialogs[] = {
        {"save", save, elsewhere + QStringLiteral("/exported.json")},
        {"import", [&prompts] { return prompts.chooseImportFile(nullptr).has_value(); }, picked},
    };
    for (const auto& dialog : dialogs) {
        QString openedIn;
        answerFileDialog(&openedIn, dialog.choose);
        QVERIFY2(dialog.open(), dialog.name);
        QCOMPARE(openedIn, home);
        answerFileDialog(&openedIn, dialog.choose);
        QVERIFY2(dialog.open(), dialog.name);
        QCOMPARE(openedIn, QDir(elsewhere).absolutePath());
    }
}

// Every save dialog of the program opens where the user last saved a file,
// whichever window that was in: a report goes where the statistics went.
void ApplicationWindowsTest::reportSaveOpensWhereTheLastExportWent() {
    Fixture f;
    f.copyAndPoll(kTracked);
    testing::TempDir dir;
    const QString elsewhere = QDir(QString::fromStdString(dir.path().string())).absolutePath();

    QVERIFY(f.windows->showSettingsPane("Stats"));
    QString openedIn;
    answerFileDialog(&openedIn, elsewhere + QStringLiteral("/stats.csv"));
    child<QPushButton>(f.window(kSettingsWindowId), "stats-export")->click();
    QCOMPARE(openedIn, QDir(QDir::homePath()).absolutePath());
    QVERIFY(std::filesystem::exists(dir / "stats.csv"));

    QVERIFY(f.windows->showWindow(kReportWindowId));
    answerFileDialog(&openedIn, elsewhere + QStringLiteral("/report.txt"));
    child<QPushButton>(f.window(kReportWindowId), "report-save")->click();
    QCOMPARE(openedIn, elsewhere);
    QVERIFY(std::filesystem::exists(dir / "report.txt"));
}

// Nothing is cleaned after midnight, yet "today" starts again from 0: the
// pane follows the monitor's change of day, not only the tracker.
void ApplicationWindowsTest::statsMoveOnToANewDayAtMidnight() {
    Fixture f;
    f.copyAndPoll(kTracked);
    QVERIFY(f.windows->showSettingsPane("Stats"));
    QWidget* settings = f.window(kSettingsWindowId);
    auto* cleaned = child<QLabel>(settings, "stats-total-cleaned");
    QTRY_COMPARE(cleaned->text(), QStringLiteral("1"));

    f.clock->advance(24h);
    f.poll();  // the monitor's next tick finds a new day
    QTRY_COMPARE(cleaned->text(), QStringLiteral("0"));
    QCOMPARE(child<QLabel>(settings, "stats-total-cleaned-label")->text(),
             QStringLiteral("URLs cleaned today"));
    child<QPushButton>(settings, "stats-window-7 Days")->click();
    QCOMPARE(cleaned->text(), QStringLiteral("1"));  // yesterday's clean, in the last 7 days
}

// A copy that changes no exception leaves the list as the user left it; a
// change of the exceptions updates it in place.
void ApplicationWindowsTest::exceptionsKeepTheirPlaceWhenSomethingElseIsCopied() {
    Fixture f;
    for (int i = 0; i < 60; ++i) {
        f.state->exceptionStore()->disable("site" + std::to_string(i) + ".example");
    }
    QVERIFY(f.windows->showSettingsPane("Exceptions"));
    QWidget* settings = f.window(kSettingsWindowId);
    auto* list = child<QListWidget>(settings, "exceptions-list");
    QTRY_COMPARE(list->count(), 60);
    list->setCurrentRow(59);
    list->scrollToBottom();
    const int end = list->verticalScrollBar()->value();
    QVERIFY(end > 0);
    // The host a row shows.
    const auto hostOf = [list](QListWidgetItem* item) {
        QWidget* row = item == nullptr ? nullptr : list->itemWidget(item);
        auto* host = row == nullptr ? nullptr : row->findChild<QLabel*>(QStringLiteral("exception-host"));
        return host == nullptr ? QString() : host->text();
    };
    const auto hostAtTop = [&] { return hostOf(list->itemAt(5, 5)); };
    const QString top = hostAtTop();
    QVERIFY(!top.isEmpty());

    f.copyAndPoll("https://news.example/a?utm_source=x&id=7");
    QVERIFY(f.state->monitor()->lastCleanedResult().has_value());
    QCOMPARE(list->verticalScrollBar()->value(), end);
    QCOMPARE(list->currentRow(), 59);

    // The first exception goes: the rows in view and the current one stay.
    f.state->exceptionStore()->enable("site0.example");
    f.poll();
    QTRY_COMPARE(list->count(), 59);
    QTRY_COMPARE(hostAtTop(), top);
    QCOMPARE(hostOf(list->currentItem()), QStringLiteral("site59.example"));
}

SCOURLET_QT_TEST(ApplicationWindowsTest);

}  // namespace scourlet::app

#include "ApplicationWindowsTest.moc"

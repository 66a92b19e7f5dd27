// The general settings pane over a real AppState on an in-memory clipboard,
// with launch at login through a real autostart folder in a temporary home.
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "AccessibleToggle.h"
#include "FakeAppServices.h"
#include "QtTestMain.h"
#include "ScourletCore/clipboard/CommandGuard.h"
#include "ScourletCore/platform/DesktopEntry.h"
#include "ScourletCore/platform/XdgAutostartEntry.h"
#include "app/menu/MenuModel.h"
#include "app/settings/GeneralSettingsContent.h"
#include "app/settings/GeneralSettingsPane.h"
#include "app/settings/PlainLabel.h"
#include "app/settings/SettingsWindow.h"
#include "app/settings/SettingsWindowFactory.h"
#include "app/shell/AppState.h"
#include "app/shell/WindowIds.h"
#include "app/shell/WindowManager.h"
#include "support/RecordingNotificationPoster.h"
#include "support/TempDir.h"

using namespace std::chrono_literals;

namespace scourlet::app {

namespace {

namespace fs = std::filesystem;
using namespace general_settings;

struct Fixture : testing::FakeAppServices {
    Fixture() {
        testing::writeFile(program, "#!/bin/sh\n");
        AppState::Services s = services();
        s.poster = poster;
        state = std::make_unique<AppState>(std::move(s));
        loginItem = std::make_shared<XdgAutostartEntry>(
            XdgAutostartEntry::Identity{"com.morrowgate.scourlet.desktop", "Scourlet", ""}, program,
            XdgAutostartEntry::Locations{autostartFolder(), {home / "xdg/autostart"}, {}});
        launch = std::make_shared<LaunchAtLogin>(loginItem, defaults, log);
        pane = std::make_unique<GeneralSettingsPane>(
            state->monitor(), state->notificationManager(), launch,
            GeneralSettingsPane::Actions{
                [this](std::string_view id) { opened.emplace_back(id); },
                [this](std::string_view text) { pasteboard->clearAndWrite(text); }});
        QCoreApplication::processEvents();
    }

    // The text of a tray menu row as the menu would be built now.
    std::string menuText(std::string_view identifier) const {
        for (const MenuItem& row : buildMenu(menuInputs(*state->monitor(), {}))) {
            if (row.identifier == identifier) {
                return row.text;
            }
        }
        return "<no row " + std::string(identifier) + ">";
    }

    fs::path autostartFolder() const { return home / "config/autostart"; }
    fs::path entryFile() const { return autostartFolder() / "com.morrowgate.scourlet.desktop"; }

    void poll() {
        timers->advance(500ms);
        mainQueue->runAll();
        QCoreApplication::processEvents();  // the pane's queued refresh
    }

    template <class Widget>
    Widget* find(std::string_view id) const {
        auto* widget = pane->findChild<Widget*>(qtext(id));
        if (widget == nullptr) {
            qFatal("no widget %s", std::string(id).c_str());
        }
        return widget;
    }
    QCheckBox* box(std::string_view id) const { return find<QCheckBox>(id); }
    QPushButton* push(std::string_view id) const { return find<QPushButton>(id); }
    QLabel* label(std::string_view id) const { return find<QLabel>(id); }

    testing::TempDir home;
    fs::path program = home / "Apps 100% \"mine\"/scourlet-app";
    std::shared_ptr<testing::RecordingNotificationPoster> poster =
        std::make_shared<testing::RecordingNotificationPoster>();
    std::unique_ptr<AppState> state;
    std::shared_ptr<XdgAutostartEntry> loginItem;
    std::ostringstream log;
    std::shared_ptr<LaunchAtLogin> launch;
    std::vector<std::string> opened;
    std::unique_ptr<GeneralSettingsPane> pane;
};

}  // namespace

class GeneralSettingsPaneTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void launchAtLoginWritesAndRemovesTheAutostartEntry();
    void openingShowsTheRealLaunchState();
    void failedRegistrationTurnsTheSwitchBackWithARedCaption();
    void reportButtonsFollowTheLastClean();
    void commandGuardControlsKeepTheirValuesWhileOff();
    void storedInfoThresholdSelectsNoSegment();
    void testCommandIsHandledByTheNextPoll();
    void notificationSwitchesAskForPermissionEachTimeOn();
    void switchesFollowChangesMadeElsewhere();
    void everySwitchActsOnItsAccessibilityAction();
    void thresholdStaysOneChoiceUnderAccessibilityActions();
    void neutralizeSwitchedByAccessibilityNeutralizes();
    void theSettingsWindowOffersThePane();
};

void GeneralSettingsPaneTest::launchAtLoginWritesAndRemovesTheAutostartEntry() {
    Fixture f;
    f.pane->show();
    QCheckBox* launch = f.box(kLaunchAtLoginId);
    QVERIFY(!launch->isChecked());
    launch->click();
    QVERIFY(launch->isChecked());
    QVERIFY(f.defaults->boolForKey(kLaunchAtLoginKey));
    QVERIFY(fs::exists(f.entryFile()));
    // The path with a space, "%" and quotes comes back whole from the entry.
    auto entry = DesktopEntry::parse(testing::readFile(f.entryFile()));
    QVERIFY(entry.has_value());
    QCOMPARE(DesktopEntry::execProgram(entry->value("Exec").value_or("")).value_or(""),
             f.program.string());
    QVERIFY(!f.label(kLaunchAtLoginFailureId)->isVisibleTo(f.pane.get()));

    launch->click();
    QVERIFY(!launch->isChecked());
    QVERIFY(!f.defaults->boolForKey(kLaunchAtLoginKey));
    QVERIFY(!fs::exists(f.entryFile()));
    QCOMPARE(QString::fromStdString(f.log.str()), QString());
}

void GeneralSettingsPaneTest::openingShowsTheRealLaunchState() {
    Fixture f;
    f.defaults->setBool(kLaunchAtLoginKey, true);  // stored on, but no entry
    f.pane->show();
    QVERIFY(!f.box(kLaunchAtLoginId)->isChecked());
    QVERIFY(!f.defaults->boolForKey(kLaunchAtLoginKey));

    // Registered outside the pane while it was hidden: the next opening shows it.
    f.pane->hide();
    QVERIFY(f.loginItem->registerLoginItem().ok());
    f.pane->show();
    QVERIFY(f.box(kLaunchAtLoginId)->isChecked());
    QVERIFY(f.defaults->boolForKey(kLaunchAtLoginKey));
}

void GeneralSettingsPaneTest::failedRegistrationTurnsTheSwitchBackWithARedCaption() {
    Fixture f;
    // A file where the autostart folder belongs: nothing can be written there
    // (a read-only folder does not stop the superuser that tests may run as).
    testing::writeFile(f.autostartFolder(), "in the way");
    f.pane->show();
    QCheckBox* launch = f.box(kLaunchAtLoginId);
    launch->click();
    QVERIFY(!launch->isChecked());
    QVERIFY(!f.defaults->boolForKey(kLaunchAtLoginKey));
    QLabel* failure = f.label(kLaunchAtLoginFailureId);
    QVERIFY(failure->isVisibleTo(f.pane.get()));
    QVERIFY(failure->text().startsWith(QStringLiteral("Could not turn on launch at login: ")));
    QVERIFY(failure->text().contains(QStringLiteral("config/autostart")));
    QCOMPARE(failure->textFormat(), Qt::PlainText);
    QVERIFY(f.log.str().starts_with("Failed to set launch at login: "));

    // Fixed outside: the next change succeeds and the caption goes.
    fs::remove(f.autostartFolder());
    launch->click();
    QVERIFY(launch->isChecked());
    QVERIFY(!failure->isVisibleTo(f.pane.get()));
}

void GeneralSettingsPaneTest::reportButtonsFollowTheLastClean() {
    Fixture f;
    QVERIFY(!f.push(kWelcomeReportId)->isEnabled());
    QVERIFY(!f.push(kSupportReportId)->isEnabled());
    QCOMPARE(f.label(kSupportCaptionId)->text(),
             QStringLiteral("Clean a link first, then report anything we missed."));
    f.push(kHowItWorksId)->click();

    f.pasteboard->copy("https://shop.example/item?id=7&utm_source=news");
    f.poll();
    QVERIFY(f.push(kWelcomeReportId)->isEnabled());
    QVERIFY(f.push(kSupportReportId)->isEnabled());
    QCOMPARE(f.label(kSupportCaptionId)->text(), qtext(kReadyToReportCaption));
    f.push(kSupportReportId)->click();
    f.push(kWelcomeReportId)->click();
    QCOMPARE(f.opened, (std::vector<std::string>{"welcome", "report", "report"}));
}

void GeneralSettingsPaneTest::commandGuardControlsKeepTheirValuesWhileOff() {
    Fixture f;
    const auto& monitor = f.state->monitor();
    f.box(kNeutralizeId)->click();
    f.push("general-command-guard-threshold-danger")->click();
    QVERIFY(monitor->shouldNeutralizeRiskyCommands());
    QCOMPARE(monitor->commandGuardThreshold(), CommandRiskSeverity::danger);

    f.box(kCommandGuardId)->click();
    QVERIFY(!monitor->isCommandGuardEnabled());
    QVERIFY(!f.box(kNeutralizeId)->isEnabled());
    QVERIFY(f.box(kNeutralizeId)->isChecked());
    QVERIFY(!f.push("general-command-guard-threshold-danger")->isEnabled());
    QVERIFY(f.push("general-command-guard-threshold-danger")->isChecked());

    f.box(kCommandGuardId)->click();
    QVERIFY(f.box(kNeutralizeId)->isEnabled());
    QVERIFY(f.box(kNeutralizeId)->isChecked());
    QVERIFY(f.push("general-command-guard-threshold-danger")->isChecked());
    QVERIFY(monitor->shouldNeutralizeRiskyCommands());
    QCOMPARE(monitor->commandGuardThreshold(), CommandRiskSeverity::danger);
}

void GeneralSettingsPaneTest::storedInfoThresholdSelectsNoSegment() {
    Fixture f;
    f.state->monitor()->setCommandGuardThreshold(CommandRiskSeverity::info);
    QCoreApplication::processEvents();
    QPushButton* warning = f.push("general-command-guard-threshold-warning");
    QPushButton* danger = f.push("general-command-guard-threshold-danger");
    QVERIFY(!warning->isChecked());
    QVERIFY(!danger->isChecked());
    warning->click();
    QCOMPARE(f.state->monitor()->commandGuardThreshold(), CommandRiskSeverity::warning);
    QVERIFY(warning->isChecked());
    warning->click();  // clicking the selected segment keeps it selected
    QVERIFY(warning->isChecked());
    danger->click();
    QVERIFY(!warning->isChecked());
    QVERIFY(danger->isChecked());
    QCOMPARE(f.defaults->stringForKey("commandGuard_threshold").value_or(""), "danger");
}

void GeneralSettingsPaneTest::testCommandIsHandledByTheNextPoll() {
    Fixture f;
    QVERIFY(f.label(kRulesVersionId)->text().startsWith(QStringLiteral("Rules ")));
    QVERIFY(f.label(kRulesVersionId)->text() != QStringLiteral("Rules unavailable"));
    f.push(kCopyTestCommandId)->click();
    QCOMPARE(f.pasteboard->text().value_or(""), std::string(kTestCommand));
    f.poll();
    QVERIFY(f.state->monitor()->lastCommandRisk().has_value());
    QCOMPARE(f.pasteboard->text().value_or(""), std::string(kTestCommand));  // not neutralized

    // With Command Guard off nothing looks at it.
    f.state->monitor()->clearLastCommandRisk();
    f.box(kCommandGuardId)->click();
    f.push(kCopyTestCommandId)->click();
    f.poll();
    QVERIFY(!f.state->monitor()->lastCommandRisk().has_value());
}

void GeneralSettingsPaneTest::notificationSwitchesAskForPermissionEachTimeOn() {
    Fixture f;
    const std::size_t atStart = f.poster->permissionRequests();
    QCheckBox* clean = f.box(kCleanNotificationsId);
    QCheckBox* command = f.box(kCommandNotificationsId);
    QVERIFY(clean->isChecked());
    clean->click();
    QVERIFY(!f.state->notificationManager()->isEnabled());
    QCOMPARE(f.poster->permissionRequests(), atStart);
    clean->click();
    QVERIFY(f.state->notificationManager()->isEnabled());
    QCOMPARE(f.poster->permissionRequests(), atStart + 1);
    command->click();
    command->click();
    QVERIFY(f.state->notificationManager()->areCommandWarningsEnabled());
    QCOMPARE(f.poster->permissionRequests(), atStart + 2);
}

void GeneralSettingsPaneTest::switchesFollowChangesMadeElsewhere() {
    Fixture f;
    QVERIFY(f.box(kAutoCleanId)->isChecked());
    // As the tray menu would: the pane follows on the next turn.
    f.state->monitor()->setIsEnabled(false);
    f.state->monitor()->setAutomaticShareLinkResolutionEnabled(true);
    f.state->notificationManager()->setAreCommandWarningsEnabled(false);
    QCoreApplication::processEvents();
    QVERIFY(!f.box(kAutoCleanId)->isChecked());
    QVERIFY(f.box(kAutoResolveId)->isChecked());
    QVERIFY(f.box(kAutoResolveId)->isEnabled());
    QVERIFY(!f.box(kCommandNotificationsId)->isChecked());

    // Showing a value stored elsewhere is no choice of the user's: a switch
    // that follows it acts on nothing (turned on here it would ask for permission).
    const std::size_t asked = f.poster->permissionRequests();
    f.state->notificationManager()->setAreCommandWarningsEnabled(true);
    QCoreApplication::processEvents();
    QVERIFY(f.box(kCommandNotificationsId)->isChecked());
    QCOMPARE(f.poster->permissionRequests(), asked);
}

void GeneralSettingsPaneTest::everySwitchActsOnItsAccessibilityAction() {
    struct Row {
        std::string_view id;
        // The setting the switch stands for, as the rest of the app reads it.
        std::function<bool(const Fixture&)> setting;
    };
    const std::vector<Row> rows = {
        {kAutoCleanId,
         [](const Fixture& f) {
             return f.menuText("menu-auto-clean") == "Auto-Clean Copied Links: ON";
         }},
        {kAutoResolveId,
         [](const Fixture& f) {
             return f.state->monitor()->automaticShareLinkResolutionEnabled();
         }},
        {kCommandGuardId,
         [](const Fixture& f) { return f.state->monitor()->isCommandGuardEnabled(); }},
        {kNeutralizeId,
         [](const Fixture& f) { return f.state->monitor()->shouldNeutralizeRiskyCommands(); }},
        {kCleanNotificationsId,
         [](const Fixture& f) { return f.state->notificationManager()->isEnabled(); }},
        {kCommandNotificationsId,
         [](const Fixture& f) {
             return f.state->notificationManager()->areCommandWarningsEnabled();
         }},
        {kLaunchAtLoginId, [](const Fixture& f) { return fs::exists(f.entryFile()); }},
    };
    Fixture f;
    f.pane->show();
    for (const Row& row : rows) {
        const QByteArray name(row.id.data(), static_cast<qsizetype>(row.id.size()));
        QCheckBox* box = f.box(row.id);
        const bool before = row.setting(f);
        QCOMPARE(box->isChecked(), before);
        for (const bool expected : {!before, before}) {
            const std::size_t asked = f.poster->permissionRequests();
            QVERIFY2(testing::toggleByAccessibility(box), name.constData());
            QVERIFY2(row.setting(f) == expected, name.constData());
            QVERIFY2(box->isChecked() == expected, name.constData());
            QCoreApplication::processEvents();  // the announced refresh changes nothing
            QVERIFY2(row.setting(f) == expected, name.constData());
            QVERIFY2(box->isChecked() == expected, name.constData());
            // A notification switch turned on asks once; nothing else asks.
            const bool asks =
                expected && (row.id == kCleanNotificationsId || row.id == kCommandNotificationsId);
            QVERIFY2(f.poster->permissionRequests() == asked + (asks ? 1 : 0), name.constData());
        }
    }
    QCOMPARE(QString::fromStdString(f.log.str()), QString());
}

void GeneralSettingsPaneTest::thresholdStaysOneChoiceUnderAccessibilityActions() {
    Fixture f;
    QPushButton* warning = f.push("general-command-guard-threshold-warning");
    QPushButton* danger = f.push("general-command-guard-threshold-danger");
    const auto& monitor = f.state->monitor();
    QCOMPARE(monitor->commandGuardThreshold(), CommandRiskSeverity::warning);
    QVERIFY(warning->isChecked() && !danger->isChecked());

    QVERIFY(testing::toggleByAccessibility(danger));
    QCOMPARE(monitor->commandGuardThreshold(), CommandRiskSeverity::danger);
    QVERIFY(!warning->isChecked() && danger->isChecked());
    QCOMPARE(f.defaults->stringForKey("commandGuard_threshold").value_or(""), "danger");

    // The chosen segment toggled again stays the choice, as a click on it does.
    QVERIFY(testing::toggleByAccessibility(danger));
    QCOMPARE(monitor->commandGuardThreshold(), CommandRiskSeverity::danger);
    QVERIFY(!warning->isChecked() && danger->isChecked());

    QVERIFY(testing::toggleByAccessibility(warning));
    QCoreApplication::processEvents();
    QCOMPARE(monitor->commandGuardThreshold(), CommandRiskSeverity::warning);
    QVERIFY(warning->isChecked() && !danger->isChecked());
}

void GeneralSettingsPaneTest::neutralizeSwitchedByAccessibilityNeutralizes() {
    Fixture f;
    QVERIFY(testing::toggleByAccessibility(f.box(kNeutralizeId)));
    f.pasteboard->copy(std::string(kTestCommand));
    f.poll();
    QCOMPARE(f.pasteboard->text().value_or(""), CommandGuard::neutralizedCommand(kTestCommand));
}

void GeneralSettingsPaneTest::theSettingsWindowOffersThePane() {
    Fixture f;
    WindowManager windows(f.defaults);
    int welcomeShown = 0;
    windows.registerWindow(kWelcomeWindowId, [&welcomeShown] {
        ++welcomeShown;
        return new QWidget;
    });
    std::unique_ptr<QWidget> window(makeSettingsWindow(*f.state, windows));
    auto* tab = window->findChild<QToolButton*>(QStringLiteral("settings-tab-Settings"));
    QVERIFY(tab != nullptr);
    tab->click();
    QCOMPARE(f.defaults->stringForKey(kSelectedSettingsPaneKey).value_or(""), "Settings");
    auto* pane = window->findChild<GeneralSettingsPane*>(qtext(kPaneId));
    QVERIFY(pane != nullptr);
    pane->findChild<QPushButton*>(qtext(kHowItWorksId))->click();
    QCOMPARE(welcomeShown, 1);
    pane->findChild<QPushButton*>(qtext(kCopyTestCommandId))->click();
    QCOMPARE(f.pasteboard->text().value_or(""), std::string(kTestCommand));
}

SCOURLET_QT_TEST(GeneralSettingsPaneTest);

}  // namespace scourlet::app

#include "GeneralSettingsPaneTest.moc"

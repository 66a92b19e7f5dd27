// The advanced pane over a real AppState on an in-memory clipboard, with the
// tool installer working in a temporary folder and scripted answers to the
// reset questions.
#include <filesystem>
#include <memory>
#include <string>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include "FakeAppServices.h"
#include "QtTestMain.h"
#include "app/settings/AdvancedContent.h"
#include "app/settings/AdvancedPane.h"
#include "app/settings/PlainLabel.h"
#include "app/settings/SettingsWindow.h"
#include "app/settings/SettingsWindowFactory.h"
#include "app/settings/UpdateAwarenessView.h"
#include "app/shell/AppState.h"
#include "app/shell/WindowIds.h"
#include "app/shell/WindowManager.h"
#include "support/TempDir.h"

using namespace std::chrono_literals;

namespace scourlet::app {

namespace {

namespace fs = std::filesystem;
using namespace advanced;

constexpr std::string_view kTrackedLink = "https://example.com/article?utm_source=news&id=4";

class ScriptedRulesPrompts final : public RulesManagerPrompts {
public:
    bool confirmReset(QWidget*) override {
        ++questions;
        return answer;
    }
    bool answer = false;
    int questions = 0;
};

class ScriptedAdvancedPrompts final : public AdvancedPanePrompts {
public:
    bool confirmStatisticsReset(QWidget*) override {
        ++questions;
        return answer;
    }
    bool answer = false;
    int questions = 0;
};

struct Fixture : testing::FakeAppServices {
    Fixture() {
        paths.toolSource = dir / "app" / "scourlet";
        paths.rulesSource = dir / "app" / "Scourlet_ScourletCore.bundle";
        paths.installDirectory = dir / "data" / "com.morrowgate.scourlet" / "CommandLineTool";
        paths.binDirectory = dir / "home" / ".local" / "bin";
        // Answers --version like the real tool.
        testing::writeFile(paths.toolSource,
                           "#!/bin/sh\n[ \"$1\" = --version ] && echo 'scourlet 1.0'\n");
        fs::permissions(paths.toolSource, fs::perms(0755), fs::perm_options::replace);
        testing::writeFile(paths.rulesSource / "data.min.json", "{\"providers\":{}}");

        state = std::make_unique<AppState>(services());
        QCoreApplication::processEvents();
    }

    std::unique_ptr<AdvancedPane> makePane(QWidget* updateSection = nullptr) {
        return std::make_unique<AdvancedPane>(
            AdvancedPane::Inputs{state->rulesEngine(), state->statsTracker(), state->monitor(),
                                 std::make_unique<CommandLineToolInstaller>(paths, clock),
                                 rulesPrompts, prompts},
            updateSection);
    }

    void copyAndPoll(std::string_view text) {
        pasteboard->copy(std::string(text));
        poll();
    }
    void poll() {
        timers->advance(500ms);
        mainQueue->runAll();
        QCoreApplication::processEvents();
    }

    std::string installedText() const {
        return "Installed at " + paths.linkPath().string() +
               ". If your shell cannot find it, add " + paths.binDirectory.string() +
               " to your PATH.";
    }

    testing::TempDir dir;
    CommandLineToolInstaller::Paths paths;
    std::shared_ptr<ScriptedRulesPrompts> rulesPrompts = std::make_shared<ScriptedRulesPrompts>();
    std::shared_ptr<ScriptedAdvancedPrompts> prompts = std::make_shared<ScriptedAdvancedPrompts>();
    std::unique_ptr<AppState> state;
};

template <class Widget>
Widget* find(const QWidget& pane, std::string_view id) {
    auto* widget = pane.findChild<Widget*>(qtext(id));
    if (widget == nullptr) {
        qFatal("no widget %s", std::string(id).c_str());
    }
    return widget;
}

QColor statusColor(const QWidget& pane) {
    return find<QLabel>(pane, kStatusId)->palette().color(QPalette::WindowText);
}

}  // namespace

class AdvancedPaneTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void installTurnsTheButtonOffUntilDoneThenOffersReinstall();
    void failedInstallShowsARedLineAndTheButtonComesBack();
    void showingThePaneReadsWhetherTheToolIsInstalled();
    void testCommandIsCopiedAsTheMonitorsOwn();
    void statisticsAndTodaysCountAreResetOnlyAfterReset();
    void rulesAreResetOnlyAfterConfirmation();
    void markupInAFolderNameIsShownAsText();
    void sectionsComeInOrderUnderTheUpdateSection();
    void theSettingsWindowOffersThePaneLast();
    void startingARuleCheckKeepsThePaneWhereItIs();
};

void AdvancedPaneTest::installTurnsTheButtonOffUntilDoneThenOffersReinstall() {
    Fixture f;
    auto pane = f.makePane();
    pane->show();
    auto* install = find<QPushButton>(*pane, kInstallId);
    auto* status = find<QLabel>(*pane, kStatusId);
    QCOMPARE(install->text(), qtext(kInstallTitle));
    QVERIFY(install->isEnabled());
    QVERIFY(status->isHidden());

    install->click();
    QVERIFY(!install->isEnabled());
    install->click();  // a second click while it is off does nothing
    QTRY_VERIFY(install->isEnabled());

    QCOMPARE(install->text(), qtext(kReinstallTitle));
    QVERIFY(!status->isHidden());
    QCOMPARE(status->text().toStdString(), f.installedText());
    QCOMPARE(status->textFormat(), Qt::PlainText);
    QVERIFY(status->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
    const QColor green = statusColor(*pane);
    QVERIFY(green.green() > green.red() && green.green() > green.blue());
    QVERIFY(fs::is_symlink(f.paths.linkPath()));
    QVERIFY(pane->installer().isInstalled());
}

void AdvancedPaneTest::failedInstallShowsARedLineAndTheButtonComesBack() {
    Fixture f;
    // A file where the bin folder goes: no folder can be made there (also as root).
    testing::writeFile(f.paths.binDirectory, "not a folder");
    auto pane = f.makePane();
    pane->show();
    auto* install = find<QPushButton>(*pane, kInstallId);
    install->click();
    QVERIFY(!install->isEnabled());
    QTRY_VERIFY(install->isEnabled());

    auto* status = find<QLabel>(*pane, kStatusId);
    QVERIFY(!status->isHidden());
    QVERIFY2(status->text().startsWith(QStringLiteral("Install failed: ")),
             qPrintable(status->text()));
    const QColor red = statusColor(*pane);
    QVERIFY(red.red() > red.green() && red.red() > red.blue());
    QCOMPARE(install->text(), qtext(kInstallTitle));
    QCOMPARE(testing::readFile(f.paths.binDirectory), std::string("not a folder"));
}

void AdvancedPaneTest::showingThePaneReadsWhetherTheToolIsInstalled() {
    Fixture f;
    CommandLineToolInstaller earlier(f.paths, f.clock);
    earlier.install();
    QVERIFY(earlier.isInstalled());

    auto pane = f.makePane();
    auto* status = find<QLabel>(*pane, kStatusId);
    QVERIFY(status->isHidden());
    pane->show();
    QCOMPARE(find<QPushButton>(*pane, kInstallId)->text(), qtext(kReinstallTitle));
    QCOMPARE(status->text().toStdString(), "Installed at " + f.paths.linkPath().string() + ".");

    // The caption names the folders the installer really uses.
    const QString caption = find<QLabel>(*pane, kCommandLineCaptionId)->text();
    const std::string home = qEnvironmentVariable("HOME").toStdString();
    QVERIFY2(caption.contains(QString::fromStdString(
                 "<code>" + shownPath(f.paths.installDirectory, home) + "</code>")),
             qPrintable(caption));
    QVERIFY(caption.contains(
        QString::fromStdString("<code>" + shownPath(f.paths.linkPath(), home) + "</code>")));
    QVERIFY(!caption.contains(QStringLiteral("Application Support")));
}

void AdvancedPaneTest::testCommandIsCopiedAsTheMonitorsOwn() {
    Fixture f;
    auto pane = f.makePane();
    pane->show();
    find<QPushButton>(*pane, kCopyTestCommandId)->click();
    QCOMPARE(f.pasteboard->text().value_or(""), std::string(kTestCommand));
    // The monitor's next poll leaves the trackers in the sample link alone.
    f.poll();
    QCOMPARE(f.pasteboard->text().value_or(""), std::string(kTestCommand));
    QCOMPARE(f.state->monitor()->cleanedCountToday(), 0);
    QCOMPARE(f.state->statsTracker()->totalCleaned(), 0);
}

void AdvancedPaneTest::statisticsAndTodaysCountAreResetOnlyAfterReset() {
    Fixture f;
    f.copyAndPoll(kTrackedLink);
    QCOMPARE(f.state->monitor()->cleanedCountToday(), 1);
    QCOMPARE(f.state->statsTracker()->totalCleaned(), 1);
    auto pane = f.makePane();
    pane->show();
    auto* reset = find<QPushButton>(*pane, kResetStatisticsId);

    f.prompts->answer = false;  // Cancel
    reset->click();
    QCOMPARE(f.prompts->questions, 1);
    QCOMPARE(f.state->statsTracker()->totalCleaned(), 1);
    QCOMPARE(f.state->monitor()->cleanedCountToday(), 1);

    f.prompts->answer = true;  // Reset
    reset->click();
    QCOMPARE(f.prompts->questions, 2);
    QCOMPARE(f.state->statsTracker()->totalCleaned(), 0);
    QCOMPARE(f.state->monitor()->cleanedCountToday(), 0);
    QCOMPARE(f.defaults->integerForKey(ClipboardMonitor::dailyCountKey(f.clock->now())), 0);
    QCOMPARE(f.rulesPrompts->questions, 0);
}

void AdvancedPaneTest::rulesAreResetOnlyAfterConfirmation() {
    Fixture f;
    f.state->rulesEngine()->addCustomRule("mine", "Mine", RuleCategoryType::analytics);
    const std::string id = std::string(rawValue(RuleCategoryType::analytics)) + ":mine";
    const auto hasCustomRule = [&f, &id] {
        const auto& categories = f.state->rulesEngine()->categories.get();
        return categories[static_cast<std::size_t>(RuleCategoryType::analytics)]->entryWithID(id) !=
               nullptr;
    };
    QVERIFY(hasCustomRule());
    auto pane = f.makePane();
    pane->show();
    auto* reset = find<QPushButton>(*pane, kResetRulesId);

    f.rulesPrompts->answer = false;
    reset->click();
    QCOMPARE(f.rulesPrompts->questions, 1);
    QVERIFY(hasCustomRule());

    f.rulesPrompts->answer = true;
    reset->click();
    QCOMPARE(f.rulesPrompts->questions, 2);
    QVERIFY(!hasCustomRule());
    QCOMPARE(f.prompts->questions, 0);
}

void AdvancedPaneTest::markupInAFolderNameIsShownAsText() {
    Fixture f;
    f.paths.installDirectory = f.dir / "<img src=x>" / "CommandLineTool";
    auto pane = f.makePane();
    const QString caption = find<QLabel>(*pane, kCommandLineCaptionId)->text();
    QVERIFY2(caption.contains(QStringLiteral("&lt;img src=x&gt;")), qPrintable(caption));
    QVERIFY(!caption.contains(QStringLiteral("<img")));
}

void AdvancedPaneTest::sectionsComeInOrderUnderTheUpdateSection() {
    Fixture f;
    auto* updates = new QLabel(QStringLiteral("updates"));
    updates->setObjectName(QStringLiteral("update-section"));
    auto pane = f.makePane(updates);
    pane->resize(720, 900);
    pane->show();
    QVERIFY(pane->isAncestorOf(updates));
    QVERIFY(updates->isVisible());
    const auto top = [&pane](QWidget* widget) { return widget->mapTo(pane.get(), QPoint()).y(); };
    QVERIFY(top(updates) < top(find<QLabel>(*pane, kVersionLineId)));
    QVERIFY(top(find<QLabel>(*pane, kVersionLineId)) < top(find<QPushButton>(*pane, kInstallId)));
    QVERIFY(top(find<QPushButton>(*pane, kInstallId)) <
            top(find<QPushButton>(*pane, kResetStatisticsId)));
    QCOMPARE(find<QLabel>(*pane, kVersionLineId)->textFormat(), Qt::PlainText);
    QVERIFY(find<QLabel>(*pane, kVersionLineId)->text().startsWith(QStringLiteral("Scourlet ")));

    // Without an update section the pane starts with the version.
    auto bare = f.makePane(nullptr);
    QVERIFY(bare->findChild<QLabel*>(QStringLiteral("update-section")) == nullptr);
}

void AdvancedPaneTest::theSettingsWindowOffersThePaneLast() {
    Fixture f;
    WindowManager windows(f.defaults);
    std::unique_ptr<QWidget> window(makeSettingsWindow(*f.state, windows));
    auto* tab = window->findChild<QToolButton*>(QStringLiteral("settings-tab-Advanced"));
    QVERIFY(tab != nullptr);
    tab->click();
    QCOMPARE(f.defaults->stringForKey(kSelectedSettingsPaneKey).value_or(""), "Advanced");
    auto* pane = window->findChild<AdvancedPane*>(qtext(kPaneId));
    QVERIFY(pane != nullptr);

    // Its update section shows the application's own update objects.
    auto* updates = pane->findChild<UpdateAwarenessView*>();
    QVERIFY(updates != nullptr);
    QVERIFY(updates->findChild<QPushButton*>(QStringLiteral("update-action-checkApp")) != nullptr);
    auto* automatic =
        updates->findChild<QCheckBox*>(QStringLiteral("update-setting-automatic-checks"));
    QVERIFY(automatic != nullptr && automatic->isChecked());
    f.state->updateAwareness()->setAutomaticChecks(false);
    QCoreApplication::processEvents();
    QVERIFY(!automatic->isChecked());
}

// A check turns its button off while it runs. The button had the focus from
// the click; the pane must not scroll off to wherever the focus goes next.
void AdvancedPaneTest::startingARuleCheckKeepsThePaneWhereItIs() {
    Fixture f;
    auto pane = f.makePane(new UpdateAwarenessView(f.state->updates(), f.state->rulesUpdater()));
    pane->resize(720, 420);
    pane->show();
    QVERIFY(QTest::qWaitForWindowExposed(pane.get()));
    auto* scroll = pane->findChild<QScrollArea*>();
    QScrollBar* bar = scroll->verticalScrollBar();
    auto* check = find<QPushButton>(*pane, "update-action-checkRules");
    for (const bool keyboard : {false, true}) {
        // The button at the bottom edge of the view.
        const int buttonBottom = check->mapTo(scroll->widget(), QPoint(0, check->height())).y();
        bar->setValue(buttonBottom - scroll->viewport()->height() + 4);
        QCoreApplication::processEvents();
        const int before = bar->value();
        QVERIFY(before > 0 && before < bar->maximum());
        if (keyboard) {
            check->setFocus(Qt::TabFocusReason);
            QTest::keyClick(check, Qt::Key_Space);
        } else {
            QTest::mouseClick(check, Qt::LeftButton);
        }
        QVERIFY(f.state->rulesUpdater()->updateStatus().isBusy());
        QCoreApplication::processEvents();  // the section redraws with the button off
        QVERIFY(!check->isEnabled());
        QCOMPARE(bar->value(), before);
        if (keyboard) {  // the focus went on to another control of the pane
            QVERIFY(pane->focusWidget() != nullptr && pane->focusWidget() != check);
        }
        // The check ends (nothing answers) and the button comes back.
        while (f.executor->runAll() > 0 || f.mainQueue->runAll() > 0) {
        }
        QCoreApplication::processEvents();
        QVERIFY(check->isEnabled());
        QCOMPARE(bar->value(), before);
    }
}

SCOURLET_QT_TEST(AdvancedPaneTest);

}  // namespace scourlet::app

#include "AdvancedPaneTest.moc"
